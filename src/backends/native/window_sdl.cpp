#include "backends/native/window_sdl.h"

#include <SDL.h>
#include <X11/Xlib.h>  // Required for: the handler of a lost X connection

#include <algorithm>  // Required for: std::max, std::min

#include "platform/graph.h"
#include "platform/key_queue.h"
#include "platform/keyboard.h"  // Required for: PushTypedText

namespace {

// Xlib has one IO error handler per process and passes it no context: the
// window whose display is watched, and the handler that was there before
// (SDL 2 sets none; Xlib's own prints "X connection ... broken" and exits).
SdlWindow* watchedWindow = nullptr;
XIOErrorHandler xlibIoHandler = nullptr;

// Called by Xlib with the display already unusable; any X call from here on
// could only fail again, so the end is handed to the program at once.
int OnXConnectionLost(Display* display) {
  if (SdlWindow* w = watchedWindow; w != nullptr && w->displayLost != nullptr) {
    w->videoReady = false;
    w->failed = true;
    w->displayLost(w->displayLostContext);
  }
  return xlibIoHandler != nullptr ? xlibIoHandler(display) : 0;
}

void KeepError(SdlWindow& w, const char* what) {
  SDL_snprintf(w.error, sizeof w.error, "%s: %s", what, SDL_GetError());
}

// After a failure the window is given up for the rest of the run.
void Fail(SdlWindow& w, const char* what) {
  KeepError(w, what);
  w.failed = true;
}

// The PC scan code of a key without a character, or 0 when it has none.
std::uint8_t ScanCodeOf(SDL_Keycode key, bool numLock) {
  switch (key) {
    case SDLK_UP: return ScanUp;
    case SDLK_DOWN: return ScanDown;
    case SDLK_LEFT: return ScanLeft;
    case SDLK_RIGHT: return ScanRight;
    case SDLK_HOME: return ScanHome;
    case SDLK_END: return ScanEnd;
    case SDLK_PAGEUP: return ScanPgUp;
    case SDLK_PAGEDOWN: return ScanPgDn;
    case SDLK_INSERT: return ScanIns;
    case SDLK_DELETE: return ScanDel;
    case SDLK_F11: return ScanF11;
    case SDLK_F12: return ScanF12;
    default: break;
  }
  if (key >= SDLK_F1 && key <= SDLK_F10) return static_cast<std::uint8_t>(ScanF1 + (key - SDLK_F1));
  if (numLock) return 0;  // the keypad types digits then, through text input
  switch (key) {
    case SDLK_KP_8: return ScanUp;
    case SDLK_KP_2: return ScanDown;
    case SDLK_KP_4: return ScanLeft;
    case SDLK_KP_6: return ScanRight;
    case SDLK_KP_7: return ScanHome;
    case SDLK_KP_1: return ScanEnd;
    case SDLK_KP_9: return ScanPgUp;
    case SDLK_KP_3: return ScanPgDn;
    case SDLK_KP_0: return ScanIns;
    case SDLK_KP_PERIOD: return ScanDel;
    default: return 0;
  }
}

// The control character of a key that text input does not report.
std::uint8_t ControlCharOf(SDL_Keycode key) {
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 13;
    case SDLK_ESCAPE: return 27;
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    default: return 0;
  }
}

void DrawFrame(SdlWindow& w) {
  int outWidth = 0, outHeight = 0;
  if (SDL_GetRendererOutputSize(w.renderer, &outWidth, &outHeight) != 0)
    return Fail(w, "window size");
  SdlPlacement p = PlaceFrame(outWidth, outHeight, w.frameWidth, w.frameHeight);
  SDL_Rect target{p.x, p.y, p.width, p.height};
  SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
  SDL_RenderClear(w.renderer);
  if (SDL_RenderCopy(w.renderer, w.texture, nullptr, &target) != 0)
    return Fail(w, "drawing the frame");
  SDL_RenderPresent(w.renderer);
}

bool CreateWindow(SdlWindow& w, const GraphSurface& g) {
  int factor = w.scale;
  if (factor < 1) {
    SDL_Rect display{0, 0, g.width, g.height};
    if (SDL_GetDisplayUsableBounds(0, &display) != 0) display = {0, 0, g.width, g.height};
    factor = std::max(1, std::min(display.w / g.width, display.h / g.height));
  }
  w.window = SDL_CreateWindow("Lemvaris", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                              g.width * factor, g.height * factor,
                              SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
  if (!w.window) return Fail(w, "creating the window"), false;
  // Shown only once the renderer exists: an OpenGL renderer makes SDL replace
  // the window, and the first one would flash on the screen and vanish.
  w.renderer = SDL_CreateRenderer(w.window, -1, 0);
  if (!w.renderer) w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_SOFTWARE);
  if (!w.renderer) return Fail(w, "creating the renderer"), false;
  SDL_ShowWindow(w.window);
  SDL_StartTextInput();
  w.shown = true;
  return true;
}

// A texture the size of the surface (made again only when the size changes).
bool FitTexture(SdlWindow& w, const GraphSurface& g) {
  if (w.texture && w.frameWidth == g.width && w.frameHeight == g.height) return true;
  if (w.texture) SDL_DestroyTexture(w.texture);
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                g.width, g.height);
  if (!w.texture) return Fail(w, "creating the frame texture"), false;
  w.frameWidth = g.width;
  w.frameHeight = g.height;
  return true;
}

// Copy the surface into the texture through the palette.
bool UploadFrame(SdlWindow& w, const GraphSurface& g) {
  Uint32 argb[PaletteSize];
  for (int i = 0; i < PaletteSize; ++i)
    argb[i] = 0xFF000000u | Uint32{StandardPalette[i].red} << 16 |
              Uint32{StandardPalette[i].green} << 8 | StandardPalette[i].blue;
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(w.texture, nullptr, &pixels, &pitch) != 0)
    return Fail(w, "updating the frame"), false;
  for (int y = 0; y < g.height; ++y) {
    const std::uint8_t* source = g.pixels + static_cast<long>(y) * g.width;
    auto* row =
        reinterpret_cast<Uint32*>(static_cast<char*>(pixels) + static_cast<long>(y) * pitch);
    for (int x = 0; x < g.width; ++x) row[x] = argb[source[x] & (PaletteSize - 1)];
  }
  SDL_UnlockTexture(w.texture);
  return true;
}

}  // namespace

SdlPlacement PlaceFrame(int outWidth, int outHeight, int frameWidth, int frameHeight) {
  int factor = std::max(1, std::min(outWidth / frameWidth, outHeight / frameHeight));
  int width = frameWidth * factor, height = frameHeight * factor;
  return {std::max(0, (outWidth - width) / 2), std::max(0, (outHeight - height) / 2), width,
          height};
}

bool OpenSdlWindow(SdlWindow& w) {
  // The terminal side handles SIGINT and SIGTERM itself (restoring the
  // terminal); SDL must not turn them into quit events.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    KeepError(w, "no window can be opened");
    return false;
  }
  // Without a display SDL falls back to drivers that show nothing; a run
  // nobody can see would wait for keys for ever, so refuse them unless asked
  // for by name (the tests do).
  const char* driver = SDL_GetCurrentVideoDriver();
  const bool invisible =
      driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
  if (invisible && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_SetError("no display (is DISPLAY or WAYLAND_DISPLAY set?)");
    KeepError(w, "no window can be opened");
    return false;
  }
  w.videoReady = true;
  w.failed = false;
  w.error[0] = '\0';
  return true;
}

SurfacePresenter SdlSurfacePresenter(SdlWindow& w) {
  SurfacePresenter b;
  b.context = &w;
  b.present = [](void* c, const GraphSurface& g) {
    PresentSdlWindow(*static_cast<SdlWindow*>(c), g);
  };
  b.hide = [](void* c) { HideSdlWindow(*static_cast<SdlWindow*>(c)); };
  b.pollEvents = [](void* c, KeyQueue& keys) { PollSdlWindow(*static_cast<SdlWindow*>(c), keys); };
  b.shutdown = [](void* c) { ShutdownSdlWindow(*static_cast<SdlWindow*>(c)); };
  b.watchDisplay = [](void* c, void (*lost)(void*), void* lostContext) {
    WatchSdlDisplay(*static_cast<SdlWindow*>(c), lost, lostContext);
  };
  return b;
}

void PresentSdlWindow(SdlWindow& w, const GraphSurface& g) {
  if (!w.videoReady || w.failed || !g.open) return;
  if (!w.window && !CreateWindow(w, g)) return;
  if (!w.shown) {
    SDL_ShowWindow(w.window);
    w.shown = true;
  }
  if (!FitTexture(w, g) || !UploadFrame(w, g)) return;
  DrawFrame(w);
}

void HideSdlWindow(SdlWindow& w) {
  if (!w.window || !w.shown) return;
  SDL_HideWindow(w.window);
  w.shown = false;
}

void PollSdlWindow(SdlWindow& w, KeyQueue& keys) {
  if (!w.videoReady) return;
  SDL_Event event;
  bool redraw = false;
  while (SDL_PollEvent(&event)) {
    TranslateSdlEvent(event, keys);
    if (event.type == SDL_WINDOWEVENT && (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                          event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
      redraw = true;
  }
  if (redraw && w.texture && w.shown && !w.failed) DrawFrame(w);
}

void ShutdownSdlWindow(SdlWindow& w) {
  if (w.texture) SDL_DestroyTexture(w.texture);
  if (w.renderer) SDL_DestroyRenderer(w.renderer);
  if (w.window) SDL_DestroyWindow(w.window);
  w.texture = nullptr;
  w.renderer = nullptr;
  w.window = nullptr;
  w.shown = false;
  w.frameWidth = w.frameHeight = 0;
  if (w.videoReady) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
  }
  w.videoReady = false;
  if (watchedWindow == &w) {
    XSetIOErrorHandler(xlibIoHandler);
    watchedWindow = nullptr;
  }
}

void WatchSdlDisplay(SdlWindow& w, void (*lost)(void* context), void* context) {
  w.displayLost = lost;
  w.displayLostContext = context;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!w.videoReady || driver == nullptr || SDL_strcmp(driver, "x11") != 0) return;
  // SDL opened libX11 itself; ours is the same library, so this handler is
  // the one SDL's connection reports to.
  if (watchedWindow == nullptr) xlibIoHandler = XSetIOErrorHandler(OnXConnectionLost);
  watchedWindow = &w;
}

void TranslateSdlEvent(const SDL_Event& event, KeyQueue& keys) {
  switch (event.type) {
    case SDL_QUIT:
      keys.endRequested = true;
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) keys.endRequested = true;
      break;
    case SDL_TEXTINPUT:
      PushTypedText(keys, event.text.text);
      break;
    case SDL_KEYDOWN: {
      SDL_Keycode key = event.key.keysym.sym;
      if (std::uint8_t c = ControlCharOf(key)) {
        PushKey(keys, c);
      } else if (std::uint8_t scan = ScanCodeOf(key, (event.key.keysym.mod & KMOD_NUM) != 0)) {
        PushExtendedKey(keys, scan);
      }
      break;
    }
    default:
      break;
  }
}
