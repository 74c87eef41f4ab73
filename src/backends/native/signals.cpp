#include "backends/native/signals.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "platform/program_exit.h"

namespace {

// Seconds between a signal and the last resort.
constexpr unsigned LastResortSeconds = 2;

volatile std::sig_atomic_t pendingSignal = 0;
volatile std::sig_atomic_t terminalDisturbed = 0;
volatile std::sig_atomic_t savedFd = -1;
termios savedMode;

// Bytes that take the screen out of full-screen mode (alternate screen,
// hidden cursor, colours), written in the last resort.
constexpr int ScreenResetCapacity = 128;
volatile std::sig_atomic_t screenResetLength = 0;
char screenReset[ScreenResetCapacity];

[[noreturn]] void LastResort(int sig) {
  if (screenResetLength > 0) {
    ssize_t ignored = write(STDOUT_FILENO, screenReset, static_cast<std::size_t>(screenResetLength));
    (void)ignored;
  }
  if (savedFd >= 0) tcsetattr(savedFd, TCSANOW, &savedMode);
  _exit(128 + sig);
}

void OnEndSignal(int sig) {
  if (pendingSignal != 0) LastResort(pendingSignal);
  pendingSignal = sig;
  alarm(LastResortSeconds);
}

void OnAlarm(int) {
  if (pendingSignal != 0) LastResort(pendingSignal);
}

void OnDisturbed(int) { terminalDisturbed = 1; }

void Handle(int sig, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(sig, &action, nullptr);
}

}  // namespace

void InstallSignalHandlers() {
  Handle(SIGINT, OnEndSignal);
  Handle(SIGTERM, OnEndSignal);
  Handle(SIGHUP, OnEndSignal);
  Handle(SIGQUIT, OnEndSignal);
  Handle(SIGALRM, OnAlarm);
  Handle(SIGCONT, OnDisturbed);
  Handle(SIGWINCH, OnDisturbed);
  Handle(SIGPIPE, SIG_IGN);
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
