// What the platform asks of the window that shows the graphics surface. The
// real one is SDL (window_sdl.h); tests and the batch runner leave every
// member null, and the platform then skips the call.
#pragma once

struct GraphSurface;
struct KeyQueue;

struct WindowBackend {
  void* context = nullptr;
  // Show the surface now. The window opens at the first call after the
  // surface is opened, so a surface opened only for layout never shows.
  void (*present)(void* context, const GraphSurface& surface) = nullptr;
  // The surface was closed: take the window off the screen.
  void (*hide)(void* context) = nullptr;
  // Move waiting window events into the key queue, never blocking. Closing
  // the window sets keys.endRequested.
  void (*pollEvents)(void* context, KeyQueue& keys) = nullptr;
  // Close the window for good; called on every way out of the program.
  void (*shutdown)(void* context) = nullptr;
  // From now on call lost(lostContext) when the window's display goes away
  // under the program (its server ended or dropped the connection). lost
  // never returns, and nothing may call the window after it.
  void (*watchDisplay)(void* context, void (*lost)(void* lostContext), void* lostContext) = nullptr;
};
