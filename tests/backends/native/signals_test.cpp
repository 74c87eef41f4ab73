// The last resort: a second end signal writes the remembered screen reset
// and ends the process at once. Run in a child, which the signals end.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "backends/native/signals.h"

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
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) result.output.append(buffer, n);
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
