// SURFACE PRESENTER of the native back end: the window that shows the
// graphics surface, on SDL2, and the keys typed into it. It fills the native
// back end's SurfacePresenter record.
//
// PLATFORM: a desktop with an X server or Wayland (DISPLAY, WAYLAND_DISPLAY).
// DEPENDENCIES: SDL2; Xlib for the handler of a lost X connection.
// LIMITATIONS:
// - OpenSdlWindow only starts SDL's video; the window itself appears at the
//   first present of an open surface, so opening the surface just to learn
//   its size never flashes a window.
// - The frame is scaled by a whole factor, nearest neighbour: at first the
//   largest that fits the display (or the fixed scale asked for), later the
//   largest that fits the resized window, centred on black.
// - Keys: characters from SDL's text input, converted to code page 852
//   (characters the code page lacks are dropped); keys without a character as
//   0 and the PC scan code; closing the window sets keys.endRequested.
// - Every SDL failure after a successful open is kept in error, and the window
//   then stays away: the run goes on without it.
// - A lost X connection (the server ended, or it dropped us, as xkill does)
//   makes Xlib call its IO error handler and then exit. WatchSdlDisplay puts
//   a handler of our own in its place, which hands the end to the program;
//   no X call can be made after that. Without a watch Xlib's own handler
//   runs (a message and exit code 1).
#pragma once

#include "backends/native/surface_presenter.h"

struct GraphSurface;
struct KeyQueue;
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

inline constexpr int SdlErrorCapacity = 256;  // SDL's messages are short; longer ones are cut

struct SdlWindow {
  int scale = 0;             // whole factor of the first window; 0: largest that fits the display
  bool videoReady = false;   // SDL's video subsystem is running
  bool failed = false;       // an SDL call failed after opening; error says which
  bool shown = false;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;  // the last frame, in RGB, at the surface's size
  int frameWidth = 0;
  int frameHeight = 0;
  char error[SdlErrorCapacity] = {};  // SDL's own words, for the caller to print
  // Called when the display goes away (see WatchSdlDisplay); never returns.
  void (*displayLost)(void* context) = nullptr;
  void* displayLostContext = nullptr;
};

// Where the frame lands in an output of outWidth x outHeight pixels.
struct SdlPlacement {
  int x, y, width, height;
};

// Start SDL's video (no window yet). False, with SDL's message in w.error,
// when there is no display to show a window on.
bool OpenSdlWindow(SdlWindow& w);
// The presenter for the native back end, with w as its context.
SurfacePresenter SdlSurfacePresenter(SdlWindow& w);

// Show the surface, creating the window at the first call with an open
// surface; nothing while the surface is closed.
void PresentSdlWindow(SdlWindow& w, const GraphSurface& g);
void HideSdlWindow(SdlWindow& w);
// Move waiting events into keys without blocking; redraw after expose or resize.
void PollSdlWindow(SdlWindow& w, KeyQueue& keys);
// Close the window and SDL; safe to call more than once.
void ShutdownSdlWindow(SdlWindow& w);
// Call lost(context) if the X connection of w's video breaks (from SDL's
// video start on, until ShutdownSdlWindow). One window at a time: Xlib's
// handler has no context of its own. Nothing on other video drivers.
void WatchSdlDisplay(SdlWindow& w, void (*lost)(void* context), void* context);

// One SDL event's effect on the key queue (pure: no SDL call).
void TranslateSdlEvent(const SDL_Event& event, KeyQueue& keys);
// The largest whole factor of the frame that fits the output, centred; at
// least 1 (then the frame starts at the left or top edge that cannot hold it).
SdlPlacement PlaceFrame(int outWidth, int outHeight, int frameWidth, int frameHeight);
