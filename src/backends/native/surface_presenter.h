// What the native back end asks of whatever shows the graphics surface beside
// the terminal: the SDL window (window_sdl.h) or the surface drawn in the
// terminal itself (termgfx/). Every member may be null, and is then skipped.
#pragma once

struct GraphSurface;
struct KeyQueue;

struct SurfacePresenter {
  void* context = nullptr;
  // Show the surface now. A window opens at the first call after the
  // surface is opened, so a surface opened only for layout never shows.
  void (*present)(void* context, const GraphSurface& surface) = nullptr;
  // The surface was closed: take it off the screen.
  void (*hide)(void* context) = nullptr;
  // Move waiting events into the key queue, never blocking. Closing the
  // window sets keys.endRequested.
  void (*pollEvents)(void* context, KeyQueue& keys) = nullptr;
  // Close for good; called on every way out of the program.
  void (*shutdown)(void* context) = nullptr;
  // From now on call lost(lostContext) when the presenter's display goes
  // away under the program (its server ended or dropped the connection).
  // lost never returns, and nothing may call the presenter after it.
  void (*watchDisplay)(void* context, void (*lost)(void* lostContext), void* lostContext) = nullptr;
};
