// The one seam between the platform's models and the person: a back end is a
// record of procedures that shows the console and the graphics surface,
// brings the person's keys into the key queue, waits, keeps time and puts
// everything back at the end. main picks one and wires it into the Platform;
// nothing else names a back end.
//
// The back ends are peers, each in a folder of its own under src/backends/:
// - native: the person's terminal for the console and the keys, plus one
//   surface presenter beside it: the SDL window (native/window_sdl.h) or the
//   surface drawn in the terminal itself (native/termgfx/);
// - web: the page around the program compiled to wasm (web/);
// - scripted: the tests' own, keys and answers from a script
//   (tests/support/scripted_backend.h).
// A back end may drop frames; it never changes what the models hold or the
// order of the program's steps. A null procedure is skipped (a back end
// without a screen).
#pragma once

#include <cstdint>
#include <string_view>

struct Console;
struct GraphSurface;
struct KeyQueue;

// What a wait is for: keys (the queue), or an answer line from standard
// input, which the terminal edits itself (no key mode while it is typed).
enum class InputKind : std::uint8_t { Keys, AnswerLine };

struct Backend {
  void* context = nullptr;
  // Bring what the person sees of the console up to date; cheap when
  // nothing changed. Called before every wait and often while polling.
  void (*showConsole)(void* context, Console& console) = nullptr;
  // Show the open surface as it is now.
  void (*showSurface)(void* context, const GraphSurface& surface) = nullptr;
  // The surface was closed: take it off the screen.
  void (*hideSurface)(void* context) = nullptr;
  // Move the keys that are waiting into the queue, never blocking. Sets
  // keys.endRequested when the person asked to end (closed the window) and
  // keys.noMoreKeys when no key can ever come again.
  void (*pollKeys)(void* context, KeyQueue& keys) = nullptr;
  // Wait until input of this kind may be there, or ms milliseconds at most;
  // true when it is (for an answer line: standard input can be read).
  bool (*waitForInput)(void* context, InputKind kind, int ms) = nullptr;
  // Microseconds on a steady clock.
  std::int64_t (*nowUs)(void* context) = nullptr;
  // A poll of the keys found none: a back end with a clock of its own may
  // let time pass here.
  void (*idle)(void* context) = nullptr;
  // Put the person's terminal and screen back as they were; on every way
  // out. message is the last line written to the console (it may be empty),
  // for a back end that could not show it. The other procedures may still be
  // called afterwards and then show nothing.
  void (*shutDown)(void* context, Console& console, std::string_view message) = nullptr;
};
