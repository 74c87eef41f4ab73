// The end signals and the last resort: every signal whose default ends the
// process ends the program by ExitProgram (128 + its number), a SIGPIPE or
// SIGXFSZ from its own write does not, and a second end signal writes the
// remembered screen reset, without waiting, and ends the process at once.
// Run in children, which the signals end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "backends/native/signals.h"
#include "platform/program_exit.h"

namespace {

struct LastResortResult {
  int status = -1;     // as waitpid gives it
  std::string output;  // what the child wrote to its standard output
};

// In a child: remember these screen resets in turn, then take two SIGTERMs.
LastResortResult LastResortAfter(std::initializer_list<std::string_view> resets) {
  int pipeFds[2];
  LastResortResult result;
  if (pipe(pipeFds) != 0) return result;
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    InstallSignalHandlers();
    for (std::string_view bytes : resets) RememberScreenReset(bytes);
    raise(SIGTERM);
    raise(SIGTERM);  // the second one takes the last resort
    _exit(99);
  }
  close(pipeFds[1]);
  char buffer[256];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    result.output.append(buffer, n);
  close(pipeFds[0]);
  waitpid(child, &result.status, 0);
  return result;
}

}  // namespace

TEST(LastResort, WritesTheRememberedResetOrNothingOnceItIsForgotten) {
  LastResortResult remembered = LastResortAfter({"\x1b[?1049l"});
  ASSERT_TRUE(WIFEXITED(remembered.status));
  EXPECT_EQ(WEXITSTATUS(remembered.status), 128 + SIGTERM);
  EXPECT_EQ(remembered.output, "\x1b[?1049l");

  // The screen was put back normally: an empty reset, which may be a null view.
  LastResortResult forgotten = LastResortAfter({"\x1b[?1049l", std::string_view()});
  ASSERT_TRUE(WIFEXITED(forgotten.status));
  EXPECT_EQ(WEXITSTATUS(forgotten.status), 128 + SIGTERM);
  EXPECT_EQ(forgotten.output, "");
}

namespace {

// The child's exit status, or -1 when it has not ended within seconds (it
// is then killed).
int StatusWithin(pid_t child, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(child, &status, WNOHANG) == child) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return -1;
}

// In a child: install the handlers, say so on ready, wait for a signal and
// end by the program's way out.
[[noreturn]] void EndByThePendingSignal(int ready) {
  InstallSignalHandlers();
  if (write(ready, "r", 1) != 1) _exit(90);
  for (int i = 0; i < 500 && PendingSignal() == 0; ++i) usleep(10000);
  try {
    ExitOnPendingSignal();
  } catch (const ProgramExit& e) {
    _exit(e.code);
  }
  _exit(91);  // no signal came
}

}  // namespace

TEST(EndSignals, EachEndsTheProgramWith128PlusItsNumber) {
  const int signals[] = {SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2,  SIGALRM,
                         SIGPIPE,   SIGXFSZ, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO, SIGPWR,
                         SIGSTKFLT, SIGRTMIN, SIGRTMAX};
  for (int sig : signals) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) EndByThePendingSignal(ready[1]);
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    kill(child, sig);  // from another process, as kill(1) sends it
    const int status = StatusWithin(child, 10);
    ASSERT_TRUE(WIFEXITED(status)) << strsignal(sig) << ": status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig) << strsignal(sig);
  }
}

TEST(EndSignals, TheProgramsOwnFailedWriteIsNoOrderToEnd) {
  const pid_t child = fork();
  if (child == 0) {
    InstallSignalHandlers();
    int unread[2];
    if (pipe(unread) != 0) _exit(90);
    close(unread[0]);
    if (write(unread[1], "x", 1) != -1 || errno != EPIPE) _exit(91);
    char name[] = "/tmp/lemvaris-xfsz-XXXXXX";
    const int file = mkstemp(name);
    unlink(name);
    struct rlimit small = {16, RLIM_INFINITY};
    if (file < 0 || setrlimit(RLIMIT_FSIZE, &small) != 0) _exit(92);
    if (write(file, "0123456789abcdef", 16) != 16 || write(file, "x", 1) != -1 || errno != EFBIG)
      _exit(93);
    _exit(PendingSignal() == 0 ? 0 : 94);
  }
  const int status = StatusWithin(child, 10);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The terminal takes nothing more: a pipe nobody reads, full; a terminal
// whose output is stopped. Two SIGTERMs still end the process at once with
// 143, the mode is put back, and the output is not left non-blocking.
TEST(LastResort, NeverWaitsOnAFullOrStoppedTerminal) {
  for (const bool terminal : {false, true}) {
    SCOPED_TRACE(terminal ? "a stopped terminal" : "a full pipe");
    int reader = -1, writer = -1;
    if (terminal) {
      ASSERT_EQ(openpty(&reader, &writer, nullptr, nullptr, nullptr), 0);
      ASSERT_EQ(tcflow(writer, TCOOFF), 0);
    } else {
      int fds[2];
      ASSERT_EQ(pipe(fds), 0);
      reader = fds[0];
      writer = fds[1];
      // Fill it without waiting, then make it wait again.
      fcntl(writer, F_SETFL, O_NONBLOCK);
      char block[4096] = {};
      while (write(writer, block, sizeof block) > 0) {
      }
      fcntl(writer, F_SETFL, 0);
    }
    termios mode = {};
    const bool haveMode = terminal && tcgetattr(writer, &mode) == 0;
    const pid_t child = fork();
    if (child == 0) {
      dup2(writer, STDOUT_FILENO);
      InstallSignalHandlers();
      if (haveMode) {
        termios raw = mode;
        cfmakeraw(&raw);
        tcsetattr(writer, TCSANOW, &raw);
        RememberTerminalMode(writer, mode);
      }
      RememberScreenReset("\x1b[?1049l\x1b[?25h");
      raise(SIGTERM);
      raise(SIGTERM);
      _exit(99);
    }
    const int status = StatusWithin(child, 5);
    ASSERT_TRUE(WIFEXITED(status)) << "still waiting, or status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_EQ(fcntl(writer, F_GETFL) & O_NONBLOCK, 0) << "the output was left non-blocking";
    if (haveMode) {
      termios after = {};
      ASSERT_EQ(tcgetattr(writer, &after), 0);
      EXPECT_EQ(after.c_lflag, mode.c_lflag) << "the terminal's mode was not put back";
    }
    close(reader);
    close(writer);
  }
}
