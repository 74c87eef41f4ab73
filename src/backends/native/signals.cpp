#include "backends/native/signals.h"

#include <fcntl.h>  // Required for: fcntl (the last resort's write that never waits)
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include "platform/end_signals.h"
#include "platform/program_exit.h"

namespace {

// Seconds between a signal and the last resort.
constexpr unsigned LastResortSeconds = 2;
// Seconds the last resort itself may take before the process just ends.
constexpr unsigned LastResortLimitSeconds = 1;

volatile std::sig_atomic_t pendingSignal = 0;
volatile std::sig_atomic_t endingSignal = 0;  // the last resort is under way
volatile std::sig_atomic_t terminalDisturbed = 0;
volatile std::sig_atomic_t savedFd = -1;
termios savedMode;

// Bytes that take the screen out of full-screen mode (alternate screen,
// hidden cursor, colours), written in the last resort.
constexpr int ScreenResetCapacity = 128;
volatile std::sig_atomic_t screenResetLength = 0;
char screenReset[ScreenResetCapacity];

// Write what fits without waiting: a full terminal, or one whose output is
// stopped, takes nothing and the bytes are given up. The descriptor's
// flags are shared with the shell, so they are put back at once.
void WriteWithoutWaiting(int fd, const char* bytes, std::size_t length) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return;
  ssize_t ignored = write(fd, bytes, length);
  (void)ignored;
  fcntl(fd, F_SETFL, flags);
}

[[noreturn]] void LastResort(int sig) {
  endingSignal = sig;
  alarm(LastResortLimitSeconds);  // whatever below still waits, the alarm ends the process
  if (screenResetLength > 0)
    WriteWithoutWaiting(STDOUT_FILENO, screenReset, static_cast<std::size_t>(screenResetLength));
  if (savedFd >= 0) tcsetattr(savedFd, TCSANOW, &savedMode);
  _exit(128 + sig);
}

// Every end signal, the alarm included: the first is recorded for the
// program to end by; the alarm it sets, or any further signal, takes the
// last resort; one during the last resort ends the process at once.
void OnEndSignal(int sig, siginfo_t* info, void*) {
  if (endingSignal != 0) _exit(128 + endingSignal);
  if (FromOwnWrite(sig, info)) return;  // the write fails, and is reported as such
  if (pendingSignal != 0) LastResort(pendingSignal);
  pendingSignal = sig;
  alarm(LastResortSeconds);
}

void OnDisturbed(int) { terminalDisturbed = 1; }

}  // namespace

void InstallSignalHandlers() {
  // No SA_RESTART: a blocking read returns. SA_NODEFER: the last resort's
  // own alarm reaches it even when it runs in the alarm's handler.
  ForEachEndSignal([](int sig) {
    struct sigaction action = {};
    action.sa_sigaction = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigaction(sig, &action, nullptr);
  });
  for (int sig : {SIGCONT, SIGWINCH}) {
    struct sigaction action = {};
    action.sa_handler = OnDisturbed;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
  }
}

void RememberTerminalMode(int fd, const termios& mode) {
  savedFd = -1;  // never half a mode in the handler's hands
  std::atomic_signal_fence(std::memory_order_seq_cst);
  savedMode = mode;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  savedFd = fd;
}

void RememberScreenReset(std::string_view bytes) {
  screenResetLength = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  const std::size_t n = bytes.size() < ScreenResetCapacity ? bytes.size() : ScreenResetCapacity;
  if (n > 0) std::memcpy(screenReset, bytes.data(), n);  // an empty view may hold a null pointer
  std::atomic_signal_fence(std::memory_order_seq_cst);
  screenResetLength = static_cast<std::sig_atomic_t>(n);
}

void ForgetTerminalMode() { savedFd = -1; }

int PendingSignal() { return pendingSignal; }

void ExitOnPendingSignal() {
  if (pendingSignal != 0) ExitProgram(128 + pendingSignal);
}

bool TakeTerminalDisturbed() {
  if (terminalDisturbed == 0) return false;
  terminalDisturbed = 0;
  return true;
}

void CancelLastResort() { alarm(0); }
