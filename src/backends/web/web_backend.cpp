// The web back end's side that talks to the page: EM_JS calls into the hooks
// that web/page.js hands the module as Module.page, and Asyncify waits.
// Limits: those of web_backend.h; the hooks must exist (page.js defines
// them), and the module's memory must not grow (the views below).
// Dependencies: emscripten (EM_JS, EM_ASYNC_JS, emscripten_sleep, Asyncify).
#include "backends/web/web_backend.h"

#include <emscripten/emscripten.h>

#include "platform/platform.h"

// The module's memory is fixed (no growth), so views of it stay valid for the
// whole run; the hooks copy what they keep.
EM_JS(void, PageShowRow, (int y, const char16_t* text, const std::uint8_t* attributes, int width,
                          int cursorX), {
  const start = text >> 1;
  Module.page.showRow(y, String.fromCharCode.apply(null, HEAPU16.subarray(start, start + width)),
                      HEAPU8.subarray(attributes, attributes + width), cursorX);
});

EM_JS(void, PageShowSurface, (const std::uint32_t* rgba, int width, int height), {
  Module.page.showSurface(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width,
                          height);
});

EM_JS(void, PageHideSurface, (), { Module.page.hideSurface(); });

// The next key the page took (its KeyboardEvent.key) as UTF-8; 0 when none.
EM_JS(int, PageNextKey, (char* out, int capacity), {
  const key = Module.page.nextKey();
  return key === undefined ? 0 : stringToUTF8(key, out, capacity);
});

EM_JS(void, PageProgramEnded, (), { Module.page.programEnded(); });

// A task of its own through a message to the page: the browser may draw and
// deliver keys in between, with none of a timer's 4 ms.
EM_ASYNC_JS(void, PageYield, (), {
  await new Promise(resolve => {
    const channel = new MessageChannel();
    channel.port1.onmessage = resolve;
    channel.port2.postMessage(0);
  });
});

void OpenWebPage(WebPage& page) {
  page.consoleShown = false;
  page.cursorX = page.cursorY = 0;
  page.surfaceShown = false;
}

void ShowWebConsole(WebPage& page, Console& console) {
  const std::uint32_t rows = TakeRowsToShow(page, console);
  for (int y = 1; y <= ConsoleHeight; ++y) {
    if ((rows >> (y - 1) & 1) == 0) continue;
    ConvertConsoleRow(console, y, page.row);
    PageShowRow(y, page.row.text, page.row.attribute, ConsoleWidth,
                y == page.cursorY ? page.cursorX : 0);
  }
}

void ShowWebSurface(WebPage& page, const GraphSurface& surface) {
  ConvertSurface(page, surface);
  PageShowSurface(page.rgba, surface.width, surface.height);
  page.surfaceShown = true;
}

void HideWebSurface(WebPage& page) {
  if (!page.surfaceShown) return;
  PageHideSurface();
  page.surfaceShown = false;
}

void PollWebKeys(WebPage&, KeyQueue& keys) {
  char name[WebKeyNameCapacity];
  while (int length = PageNextKey(name, WebKeyNameCapacity))
    PushPageKey(keys, std::string_view(name, static_cast<std::size_t>(length)));
}

bool WaitForWebInput(WebPage& page, KeyQueue& keys, int ms) {
  if (ms <= 0) {
    PageYield();
    PollWebKeys(page, keys);
    return keys.count > 0;
  }
  const double end = emscripten_get_now() + ms;
  PollWebKeys(page, keys);
  while (keys.count == 0) {
    const double left = end - emscripten_get_now();
    if (left <= 0) break;
    emscripten_sleep(left < WebWaitSliceMs ? static_cast<unsigned>(left) + 1 : WebWaitSliceMs);
    PollWebKeys(page, keys);
  }
  return keys.count > 0;
}

std::int64_t WebClockUs() { return static_cast<std::int64_t>(emscripten_get_now() * 1000.0); }

void ShutdownWebPage(WebPage&) { PageProgramEnded(); }

namespace {

WebPage& Of(void* context) { return *static_cast<WebPage*>(context); }

}  // namespace

void UseWebBackend(Platform& p, WebPage& page) {
  OpenWebPage(page);
  page.keys = &p.keys;
  Backend& b = p.backend;
  b.context = &page;
  b.showConsole = [](void* c, Console& console) { ShowWebConsole(Of(c), console); };
  b.showSurface = [](void* c, const GraphSurface& surface) {
    ShowWebSurface(Of(c), surface);
    // The browser paints the canvas, and takes keys, only once it has control.
    PageYield();
  };
  b.hideSurface = [](void* c) { HideWebSurface(Of(c)); };
  b.pollKeys = [](void* c, KeyQueue& keys) { PollWebKeys(Of(c), keys); };
  // Answers are typed as keys, so every wait is one for keys.
  b.waitForInput = [](void* c, InputKind, int ms) {
    WebPage& page = Of(c);
    return WaitForWebInput(page, *page.keys, ms);
  };
  b.nowUs = [](void*) { return WebClockUs(); };
  b.shutDown = [](void* c, Console& console, std::string_view) {
    // The message is the console's last line already: the page shows it.
    ShowWebConsole(Of(c), console);
    ShutdownWebPage(Of(c));
  };
  p.typedAnswers = true;
}
