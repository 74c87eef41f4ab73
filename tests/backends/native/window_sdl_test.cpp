#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/graph.h"
#include "platform/key_queue.h"
#include "backends/native/window_sdl.h"

namespace {

SDL_Event KeyDown(SDL_Keycode key, Uint16 mod = KMOD_NONE) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = key;
  e.key.keysym.mod = mod;
  return e;
}

SDL_Event Text(const char* utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
  return e;
}

std::vector<int> Drain(KeyQueue& q) {
  std::vector<int> keys;
  std::uint8_t k;
  while (PopKey(q, k)) keys.push_back(k);
  return keys;
}

// Runs SDL on one video driver for the test's duration.
struct VideoDriver {
  explicit VideoDriver(const char* name) { setenv("SDL_VIDEODRIVER", name, 1); }
  ~VideoDriver() { unsetenv("SDL_VIDEODRIVER"); }
};

}  // namespace

TEST(SdlKeys, KeysWithoutACharacterGiveZeroThenTheirScanCode) {
  KeyQueue q;
  for (SDL_Keycode k :
       {SDLK_UP, SDLK_F9, SDLK_LEFT, SDLK_RIGHT, SDLK_DOWN, SDLK_HOME, SDLK_END, SDLK_PAGEUP,
        SDLK_PAGEDOWN, SDLK_INSERT, SDLK_DELETE, SDLK_F1, SDLK_F10, SDLK_F11, SDLK_F12})
    TranslateSdlEvent(KeyDown(k), q);
  EXPECT_EQ(Drain(q), (std::vector<int>{0, 72, 0, 67, 0, 75, 0, 77, 0, 80, 0, 71,  0, 79, 0, 73,
                                        0, 81, 0, 82, 0, 83, 0, 59, 0, 68, 0, 133, 0, 134}));
  EXPECT_FALSE(q.endRequested);
}

TEST(SdlKeys, ControlKeysGiveTheirCharacterAndLettersComeOnlyAsText) {
  KeyQueue q;
  for (SDL_Keycode k : {SDLK_RETURN, SDLK_KP_ENTER, SDLK_ESCAPE, SDLK_BACKSPACE, SDLK_TAB})
    TranslateSdlEvent(KeyDown(k), q);
  // The key press of a letter is followed by its text event: only the text counts.
  TranslateSdlEvent(KeyDown(SDLK_v), q);
  TranslateSdlEvent(Text("V"), q);
  TranslateSdlEvent(KeyDown(SDLK_LSHIFT), q);
  EXPECT_EQ(Drain(q), (std::vector<int>{13, 13, 27, 8, 9, 'V'}));
}

// Whatever key is pressed with whatever modifiers (Ctrl+@ and Ctrl+2 among
// them), every 0 it puts in the queue has a scan code after it: a reader that
// takes the pair never swallows the next key.
TEST(SdlKeys, NoKeyLeavesALoneZero) {
  auto zerosPaired = [](const std::vector<int>& keys) {
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == 0 && ++i == keys.size()) return false;
    return true;
  };
  std::vector<SDL_Keycode> codes;
  for (SDL_Keycode k = 0; k < 0x80; ++k) codes.push_back(k);
  for (int sc = SDL_SCANCODE_CAPSLOCK; sc < SDL_NUM_SCANCODES; ++sc)
    codes.push_back(SDL_SCANCODE_TO_KEYCODE(static_cast<SDL_Scancode>(sc)));
  for (int mod :
       {0, KMOD_LCTRL + 0, KMOD_LCTRL | KMOD_LSHIFT, KMOD_LALT + 0, KMOD_NUM + 0, KMOD_CAPS + 0}) {
    for (SDL_Keycode k : codes) {
      KeyQueue q;
      TranslateSdlEvent(KeyDown(k, static_cast<Uint16>(mod)), q);
      EXPECT_TRUE(zerosPaired(Drain(q))) << "key " << k << " with modifiers " << mod;
    }
  }
}

TEST(SdlKeys, KeypadMovesWithoutNumLockAndTypesDigitsWithIt) {
  KeyQueue q;
  TranslateSdlEvent(KeyDown(SDLK_KP_8), q);
  TranslateSdlEvent(KeyDown(SDLK_KP_PERIOD), q);
  TranslateSdlEvent(KeyDown(SDLK_KP_8, KMOD_NUM), q);  // the digit arrives as text
  EXPECT_EQ(Drain(q), (std::vector<int>{0, 72, 0, 83}));
}

// Text goes through the one UTF-8 reader (utf8_test has its cases).
TEST(SdlKeys, TextIsConvertedToCodePage852AndUnmappableCharactersAreDropped) {
  KeyQueue q;
  TranslateSdlEvent(Text("aő€▓b"), q);  // the euro sign is not in the code page
  EXPECT_EQ(Drain(q), (std::vector<int>{'a', 0x8B, 178, 'b'}));
}

TEST(SdlKeys, ClosingTheWindowRequestsTheEnd) {
  KeyQueue q;
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_RESIZED;
  TranslateSdlEvent(e, q);
  EXPECT_FALSE(q.endRequested);
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  TranslateSdlEvent(e, q);
  EXPECT_TRUE(q.endRequested);
  KeyQueue q2;
  e.type = SDL_QUIT;
  TranslateSdlEvent(e, q2);
  EXPECT_TRUE(q2.endRequested);
  EXPECT_EQ(q.count + q2.count, 0);
}

TEST(SdlPlacement, LargestWholeFactorCentred) {
  SdlPlacement p = PlaceFrame(640, 480, 640, 480);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.width, 640);
  p = PlaceFrame(1300, 1000, 640, 480);  // 2 fits both ways
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 20);
  EXPECT_EQ(p.width, 1280);
  EXPECT_EQ(p.height, 960);
  p = PlaceFrame(2000, 1000, 640, 480);  // the height decides
  EXPECT_EQ(p.width, 1280);
  EXPECT_EQ(p.x, 360);
  p = PlaceFrame(500, 600, 640, 480);  // too narrow: scale 1 from the left edge
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 60);
  EXPECT_EQ(p.width, 640);
}

TEST(SdlWindowPresenter, NoDisplayIsReportedWithSdlsMessage) {
  VideoDriver driver("no-such-driver");
  SdlWindow w;
  EXPECT_FALSE(OpenSdlWindow(w));
  EXPECT_FALSE(w.videoReady);
  EXPECT_NE(std::strlen(w.error), 0u);
  ShutdownSdlWindow(w);
}

// SDL's off-screen driver needs no display: the whole presenter runs on it.
// The software renderer keeps the presented frame readable (OpenGL does not).
TEST(SdlWindowPresenter, WindowAppearsAtTheFirstPresentOfAnOpenSurfaceAndShowsItsPixels) {
  VideoDriver driver("offscreen");
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  SdlWindow w;
  w.scale = 1;
  ASSERT_TRUE(OpenSdlWindow(w)) << w.error;
  SurfacePresenter b = SdlSurfacePresenter(w);
  auto g = std::make_unique<GraphSurface>();
  InitGraph(*g);
  CloseGraph(*g);  // opened only for the layout
  b.present(b.context, *g);
  KeyQueue keys;
  b.pollEvents(b.context, keys);
  EXPECT_EQ(w.window, nullptr);

  InitGraph(*g);
  for (int c = 0; c < 16; ++c) {
    SetFillStyle(*g, SolidFill, c);
    Bar(*g, c * 40, 0, c * 40 + 39, 479);
  }
  OutTextXY(*g, 3, 3, "Lemvaris");
  b.present(b.context, *g);
  ASSERT_NE(w.window, nullptr) << w.error;
  ASSERT_FALSE(w.failed) << w.error;
  int width = 0, height = 0;
  SDL_GetRendererOutputSize(w.renderer, &width, &height);
  ASSERT_EQ(width, 640);
  ASSERT_EQ(height, 480);
  std::vector<Uint32> shown(640 * 480);
  ASSERT_EQ(
      SDL_RenderReadPixels(w.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), 640 * 4), 0)
      << SDL_GetError();
  int wrong = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const PaletteRgb& c = StandardPalette[SurfacePixel(*g, x, y)];
      Uint32 expected = Uint32{c.red} << 16 | Uint32{c.green} << 8 | c.blue;
      if ((shown[y * 640 + x] & 0xFFFFFF) != expected) ++wrong;
    }
  EXPECT_EQ(wrong, 0);

  // Resized: twice the size, centred on black, each pixel a 2 x 2 block.
  SDL_SetWindowSize(w.window, 1300, 1000);
  b.pollEvents(b.context, keys);
  b.present(b.context, *g);
  SDL_GetRendererOutputSize(w.renderer, &width, &height);
  ASSERT_EQ(width, 1300);
  ASSERT_EQ(height, 1000);
  std::vector<Uint32> scaled(1300 * 1000);
  ASSERT_EQ(
      SDL_RenderReadPixels(w.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, scaled.data(), 1300 * 4),
      0);
  wrong = 0;
  for (int y = 0; y < 1000; ++y)
    for (int x = 0; x < 1300; ++x) {
      bool inside = x >= 10 && x < 1290 && y >= 20 && y < 980;
      const PaletteRgb& c =
          StandardPalette[inside ? SurfacePixel(*g, (x - 10) / 2, (y - 20) / 2) : 0];
      Uint32 expected = Uint32{c.red} << 16 | Uint32{c.green} << 8 | c.blue;
      if ((scaled[y * 1300 + x] & 0xFFFFFF) != expected) ++wrong;
    }
  EXPECT_EQ(wrong, 0);

  b.hide(b.context);
  EXPECT_FALSE(w.shown);
  b.present(b.context, *g);
  EXPECT_TRUE(w.shown);
  b.shutdown(b.context);
  EXPECT_EQ(w.window, nullptr);
  b.shutdown(b.context);  // a second time is harmless
  SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
}

// With no display SDL would fall back to its invisible driver: refused.
TEST(SdlWindowPresenter, NoDisplayIsRefusedRatherThanRunUnseen) {
  const char* display = std::getenv("DISPLAY");
  std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  SdlWindow w;
  EXPECT_FALSE(OpenSdlWindow(w));
  EXPECT_NE(std::strstr(w.error, "no display"), nullptr) << w.error;
  ShutdownSdlWindow(w);
  if (display) setenv("DISPLAY", saved.c_str(), 1);
}
