// TERMINAL GRAPHICS, the choice of pictures. What it is for and why it is
// made this way: choice.h.
#include "backends/native/termgfx/choice.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

// How long tmux may take over its answer before the program goes on without.
constexpr int TmuxAnswerWaitMs = 1000;
// An environment value as the notes show it: at most this many bytes.
constexpr int ShownCapacity = 41;

const char* ValueIn(char** envp, std::string_view name) {
  for (char** e = envp; e != nullptr && *e != nullptr; ++e)
    if (std::strncmp(*e, name.data(), name.size()) == 0 && (*e)[name.size()] == '=')
      return *e + name.size() + 1;
  return nullptr;
}

bool Given(const char* value) { return value != nullptr && *value != '\0'; }

// A value from the environment for a note: printable ASCII only, so that
// whatever it holds cannot move the cursor or change the terminal.
void Shown(const char* value, char (&out)[ShownCapacity]) {
  int n = 0;
  for (const char* v = value != nullptr ? value : ""; *v != '\0' && n < ShownCapacity - 1; ++v)
    out[n++] = *v >= 0x20 && *v < 0x7F ? *v : '?';
  out[n] = '\0';
}

bool ReadInt(std::string_view text, int& value) {
  if (text.empty() || text.size() > 6) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// "3.3a", "next-3.4": the first "major.minor" in it.
bool ReadVersion(std::string_view version, int& major, int& minor) {
  const std::size_t start = version.find_first_of("0123456789");
  if (start == version.npos) return false;
  version.remove_prefix(start);
  const std::size_t dot = version.find('.');
  if (dot == version.npos) return false;
  std::string_view after = version.substr(dot + 1);
  after = after.substr(0, after.find_first_not_of("0123456789"));
  return ReadInt(version.substr(0, dot), major) && ReadInt(after, minor);
}

bool ReadWish(std::string_view wish, TermGfxPixels& pixels) {
  if (wish == "symbols")
    pixels = TermGfxPixels::Symbols;
  else if (wish == "sixel")
    pixels = TermGfxPixels::Sixels;
  else if (wish == "kitty")
    pixels = TermGfxPixels::Kitty;
  else
    return false;
  return true;
}

// "a grafika ... jelenik meg"
const char* WithPictures(TermGfxPixels pixels) {
  switch (pixels) {
    case TermGfxPixels::Sixels:
      return "sixel képekkel";
    case TermGfxPixels::Kitty:
      return "kitty képekkel";
    case TermGfxPixels::Symbols:
      break;
  }
  return "blokk karakterekkel";
}

// "a terminál ... is mutatna"
const char* PicturesOf(TermGfxPixels pixels) {
  return pixels == TermGfxPixels::Sixels ? "sixel képeket" : "kitty képeket";
}

// "de a tmux ..."
const char* TmuxWhy(TmuxPassthrough passthrough) {
  return passthrough == TmuxPassthrough::Off
             ? "nem engedi át őket (az allow-passthrough ki van kapcsolva; bekapcsolás: "
               "tmux set -g allow-passthrough on)"
             : "nem mondta meg, átengedi-e őket (allow-passthrough)";
}

void WriteNote(TermGfxChoice& c, const char* term, const char* wish, bool inScreen,
               TmuxPassthrough passthrough) {
  const bool seen = !inScreen && passthrough == TmuxPassthrough::On;
  const int room = TermGfxNoteCapacity;
  switch (c.why) {
    case TermGfxWhy::Detected:
      return;
    case TermGfxWhy::InScreen:
      std::snprintf(c.note, room,
                    "Lemvaris: a terminál (TERM=%s) %s is mutatna, de a program GNU screen "
                    "alatt fut, amely nem engedi át őket, ezért a grafika blokk karakterekkel "
                    "jelenik meg.",
                    term, PicturesOf(c.claimed));
      return;
    case TermGfxWhy::TmuxClosed:
      std::snprintf(c.note, room,
                    "Lemvaris: a terminál (TERM=%s) %s is mutatna, de a tmux %s, ezért a "
                    "grafika blokk karakterekkel jelenik meg.",
                    term, PicturesOf(c.claimed), TmuxWhy(passthrough));
      return;
    case TermGfxWhy::UnknownWish:
      std::snprintf(c.note, room,
                    "Lemvaris: ismeretlen LEMVARIS_GRAPHICS érték: \"%s\" (lehet: symbols, "
                    "sixel, kitty).",
                    wish);
      return;
    case TermGfxWhy::ByHand:
      break;
  }
  const bool pixels = c.caps.pixels != TermGfxPixels::Symbols;
  if (c.caps.pixels == c.claimed && (seen || !pixels)) return;
  const int n = std::snprintf(c.note, room,
                              "Lemvaris: a LEMVARIS_GRAPHICS=%s szerint a grafika %s jelenik meg "
                              "(a TERM=%s szerint: %s).",
                              wish, WithPictures(c.caps.pixels), term, WithPictures(c.claimed));
  if (!pixels || seen || n < 0 || n >= room) return;
  std::snprintf(c.note + n, static_cast<std::size_t>(room - n), " %s",
                inScreen ? "GNU screen alatt azonban a képek nem látszanak."
                : passthrough == TmuxPassthrough::Off
                    ? "A tmux azonban nem engedi át őket (allow-passthrough), így nem látszanak."
                    : "A tmux nem mondta meg, átengedi-e őket (allow-passthrough), így lehet, "
                      "hogy nem látszanak.");
}

}  // namespace

TermGfxChoice ChooseTermGfx(char** envp, TmuxPane (*askTmux)()) {
  TermGfxChoice c;
  c.caps = DetectTermGfxCaps(envp);
  c.claimed = c.caps.pixels;
  const char* termValue = ValueIn(envp, "TERM");
  const char* wishValue = ValueIn(envp, "LEMVARIS_GRAPHICS");
  char term[ShownCapacity], wish[ShownCapacity];
  Shown(termValue, term);
  Shown(wishValue, wish);
  if (Given(wishValue))
    c.why = ReadWish(wishValue, c.caps.pixels) ? TermGfxWhy::ByHand : TermGfxWhy::UnknownWish;
  const bool inTmux = Given(ValueIn(envp, "TMUX"));
  // STY: screen somewhere between, outside tmux or inside it. TERM=screen*
  // is tmux's own too, so only outside tmux does it mean screen.
  const bool inScreen = Given(ValueIn(envp, "STY")) || (!inTmux && termValue != nullptr &&
                                                        std::strncmp(termValue, "screen", 6) == 0);
  TmuxPassthrough passthrough = TmuxPassthrough::On;  // nothing between: shown
  if (c.why != TermGfxWhy::UnknownWish && c.caps.pixels != TermGfxPixels::Symbols) {
    if (!inScreen && inTmux) {
      passthrough = askTmux().passthrough;
      c.caps.throughTmux = true;
    }
    const bool seen = !inScreen && passthrough == TmuxPassthrough::On;
    if (c.why == TermGfxWhy::Detected && !seen) {
      c.caps.pixels = TermGfxPixels::Symbols;
      c.caps.throughTmux = false;
      c.why = inScreen ? TermGfxWhy::InScreen : TermGfxWhy::TmuxClosed;
    }
  }
  WriteNote(c, term, wish, inScreen, passthrough);
  return c;
}

TmuxPane ReadTmuxAnswer(std::string_view answer) {
  while (!answer.empty() && answer.back() == '\n') answer.remove_suffix(1);
  std::string_view field[6];  // as TmuxQuestion asks them; the last may be empty
  for (std::string_view& f : field) {
    const std::size_t space = answer.find(' ');
    f = answer.substr(0, space);
    answer = space == answer.npos ? std::string_view() : answer.substr(space + 1);
  }
  TmuxPane pane;
  int statusLines = 0, major = 0, minor = 0;
  if (!ReadInt(field[0], pane.top) || !ReadInt(field[1], pane.left)) return TmuxPane{};
  if (field[2] == "on")
    statusLines = 1;
  else if (field[2] != "off" && !ReadInt(field[2], statusLines))
    return TmuxPane{};
  if (field[3] == "top") pane.top += statusLines;
  const std::string_view value = field[5];
  if (value == "1" || value == "on" || value == "all") {
    pane.passthrough = TmuxPassthrough::On;
  } else if (value == "0" || value == "off") {
    pane.passthrough = TmuxPassthrough::Off;
  } else if (value.empty() && ReadVersion(field[4], major, minor) &&
             (major < 3 || (major == 3 && minor < 3))) {
    // No such option: tmux before 3.3 passed every passthrough string on.
    pane.passthrough = TmuxPassthrough::On;
  }
  return pane;
}

TmuxPane AskTmuxPane() {
  int answerPipe[2];
  if (pipe2(answerPipe, O_CLOEXEC) != 0) return TmuxPane{};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, answerPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // This pane's option (pane, window and global ones in turn), not that of
  // whichever pane is active.
  char* pane = std::getenv("TMUX_PANE");
  char format[128];
  std::snprintf(format, sizeof format, "%s", TmuxQuestion);
  char tmux[] = "tmux", display[] = "display-message", print[] = "-p", target[] = "-t";
  char* withPane[] = {tmux, display, print, target, pane, format, nullptr};
  char* withoutPane[] = {tmux, display, print, format, nullptr};
  // The presenter thread asks too, with every signal blocked: tmux gets none.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, "tmux", &actions, &attributes,
                                   Given(pane) ? withPane : withoutPane, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(answerPipe[1]);
  if (spawned != 0) {
    close(answerPipe[0]);
    return TmuxPane{};
  }
  char answer[128];
  std::size_t used = 0;
  bool ended = false;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(TmuxAnswerWaitMs);
  while (used < sizeof answer - 1) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready = {answerPipe[0], POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) break;
    const ssize_t n = read(answerPipe[0], answer + used, sizeof answer - 1 - used);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ended = n == 0;
      break;
    }
    used += static_cast<std::size_t>(n);
  }
  close(answerPipe[0]);
  if (!ended) kill(pid, SIGKILL);  // a tmux that hangs is not waited for
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return TmuxPane{};
  return ReadTmuxAnswer(std::string_view(answer, used));
}
