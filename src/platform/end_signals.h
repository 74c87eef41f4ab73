// The signals a program of ours ends on the way it ends on SIGTERM (the
// terminal given back, temporary files removed, 128 + the signal's number):
// every signal whose default action ends the process and that comes from
// outside it. The program's own faults (SIGSEGV, SIGBUS, SIGILL, SIGFPE,
// SIGABRT, SIGTRAP, SIGSYS) are left to the system, a debugger or a sanitizer.
//
// A SIGPIPE or SIGXFSZ the kernel sends because one of the program's own
// writes went to a pipe nobody reads or past the file size limit is not an
// order to end: the write fails at the same time (EPIPE, EFBIG) and is
// reported as the failed write it is.
//
// Header only, for the native programs' signal handlers (the terminal, the
// output files); the page has no signals.
#pragma once

#include <signal.h>  // Required for: the signal numbers, siginfo_t
#include <unistd.h>  // Required for: getpid

inline constexpr int FixedEndSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGUSR1,   SIGUSR2, SIGALRM, SIGPIPE,
    SIGXFSZ, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSTKFLT,
};

// f(signal) for every end signal: the fixed ones, then the real-time ones
// (their numbers are known only when the program runs).
template <class F>
void ForEachEndSignal(F&& f) {
  for (int sig : FixedEndSignals) f(sig);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) f(sig);
}

// The set of every end signal, to hold them back for a moment.
inline sigset_t EndSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  ForEachEndSignal([&set](int sig) { sigaddset(&set, sig); });
  return set;
}

// This SIGPIPE or SIGXFSZ answers the program's own failed write: the kernel
// sends it as from the process itself (SI_USER), where raise() gives
// SI_TKILL and kill from elsewhere another process's number. Safe in a
// signal handler.
inline bool FromOwnWrite(int sig, const siginfo_t* info) {
  return (sig == SIGPIPE || sig == SIGXFSZ) && info != nullptr && info->si_code == SI_USER &&
         info->si_pid == getpid();
}
