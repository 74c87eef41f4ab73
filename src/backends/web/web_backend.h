// BACK END web: shows the console model and the graphics surface in the
// page around the program (web/classic.html) and feeds the page's keys into the
// key queue. Free procedures over one WebPage record; UseWebBackend makes
// them the platform's back end (src/main_web.cpp).
//
// PLATFORM: a browser (or any page that defines the hooks of web/page.js),
//   the program compiled with emscripten and linked with Asyncify.
// LIMITATIONS:
// - The console is text in <pre id="console">: 25 lines of 80 characters
//   (code page 852 shown as Unicode, the shade block as U+2593), one span
//   per run of cells with the same attribute; only changed rows are sent.
//   The cursor is shown as a marked cell. Blinking is not shown.
// - The surface goes to <canvas id="screen"> whole; the page scales it to
//   the room it has, without smoothing.
// - Keys: the key's text gives the character (case and layout right); a key
//   the code page lacks is dropped. Cursor and function keys give 0 then the
//   PC scan code; Enter 13, Backspace 8, Esc 27. Keys with Ctrl or the
//   system key (copy, paste, reload), Tab (leaving the page's focus) and F5,
//   F11, F12 stay with the browser. Typing that makes no key events (some
//   phone keyboards) is not seen.
// - Waiting gives the browser control back through Asyncify
//   (emscripten_sleep), a slice at a time, so a key ends a wait within a
//   slice; a wait of 0 ms yields through a message to the page itself, as a
//   timer of 0 ms lasts 4 ms once timers nest. Showing the surface yields so
//   too: the canvas is painted, and keys arrive, only while the browser has
//   control, and a busy run shows the surface about 60 times a second.
// - Answers are typed into the console (the platform's typedAnswers).
// - One program per page: the records are the program's statics, and a new
//   run is a new instance of the module (web/page.js).
// DEPENDENCIES: emscripten (web_backend.cpp only); the key and text
//   conversions (web_convert.cpp) are plain C++, built natively for tests.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/console.h"
#include "platform/graph.h"
#include "platform/key_queue.h"

// Longest key name the page hands over ("ArrowRight", "PageDown", a
// character of up to four UTF-8 bytes).
inline constexpr int WebKeyNameCapacity = 32;
// A wait hands control back at least this often (ms).
inline constexpr int WebWaitSliceMs = 10;

// One console row as the page receives it.
struct WebConsoleRow {
  char16_t text[ConsoleWidth];
  std::uint8_t attribute[ConsoleWidth];
};

struct Platform;

struct WebPage {
  KeyQueue* keys = nullptr;   // the platform's queue, which a wait watches
  bool consoleShown = false;  // every row has been sent once
  int cursorX = 0, cursorY = 0;  // where the page shows the cursor (0: nowhere yet)
  bool surfaceShown = false;  // the canvas holds a surface, not blank
  WebConsoleRow row;          // the row being sent
  // The surface in the canvas's byte order (R, G, B, A), row after row.
  std::uint32_t rgba[GraphMaxWidth * GraphMaxHeight];
};

// --- Conversions (web_convert.cpp): no browser needed ---

// Put the key the page names (KeyboardEvent.key, UTF-8) into the queue as
// the terminal would; false when the key gives nothing.
bool PushPageKey(KeyQueue& keys, std::string_view keyName);
// The rows ShowWebConsole sends now (bit y - 1 for row y): all of them the
// first time, else those changed since, and the rows the cursor left and
// entered. Marks them as shown.
std::uint32_t TakeRowsToShow(WebPage& page, Console& console);
// Console row y (1-based) as Unicode text and attributes.
void ConvertConsoleRow(const Console& console, int y, WebConsoleRow& row);
// The surface's pixels through the palette into page.rgba.
void ConvertSurface(WebPage& page, const GraphSurface& surface);

// --- The page (web_backend.cpp): emscripten only ---

// Start afresh: the next ShowWebConsole sends every row.
void OpenWebPage(WebPage& page);
// Send the console's changed rows (and the rows the cursor left and entered).
void ShowWebConsole(WebPage& page, Console& console);
// Draw the surface on the canvas.
void ShowWebSurface(WebPage& page, const GraphSurface& surface);
// The surface was closed: the canvas goes blank.
void HideWebSurface(WebPage& page);
// Move the keys typed in the page since the last look into the queue.
void PollWebKeys(WebPage& page, KeyQueue& keys);
// Wait until a key is in the queue or ms have passed, giving the browser
// control back meanwhile; true when a key is waiting. With ms 0 it hands
// control back once, briefly: the way for a busy loop to let the page draw
// and take keys.
bool WaitForWebInput(WebPage& page, KeyQueue& keys, int ms);
// Microseconds on the page's monotonic clock.
std::int64_t WebClockUs();
// The program has ended: the page offers a new run.
void ShutdownWebPage(WebPage& page);
// Make page the platform's back end, answers typed into the console; the
// page starts afresh (OpenWebPage).
void UseWebBackend(Platform& platform, WebPage& page);
