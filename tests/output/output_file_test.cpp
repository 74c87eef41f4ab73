#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output/output_file.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed at the end.
struct Folder {
  fs::path path;
  Folder() {
    char name[] = "/tmp/lemvaris-output-XXXXXX";
    path = mkdtemp(name);
  }
  ~Folder() { fs::remove_all(path); }
  std::string operator/(const char* name) const { return (path / name).string(); }
  // Names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Put(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool Write(const char* path, const std::string& text) {
  OutputFile file;
  if (!BeginOutputFile(file, path)) return false;
  std::fwrite(text.data(), 1, text.size(), file.stream);
  return CommitOutputFile(file);
}

}  // namespace

TEST(OutputFile, ReplacesTheTargetOnlyWhenCommitted) {
  Folder folder;
  const std::string target = folder / "g.txt";
  Put(target, "old\n");
  OutputFile file;
  ASSERT_TRUE(BeginOutputFile(file, target.c_str()));
  std::fputs("new\n", file.stream);
  std::fflush(file.stream);
  EXPECT_EQ(Read(target), "old\n") << "the target changed before the commit";
  EXPECT_EQ(folder.Names().size(), 2u) << "the temporary file is beside the target";
  ASSERT_TRUE(CommitOutputFile(file));
  EXPECT_EQ(Read(target), "new\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"g.txt"});
}

TEST(OutputFile, AbandonedLeavesTheOldFileAndNothingElse) {
  Folder folder;
  const std::string target = folder / "g.txt";
  Put(target, "old\n");
  OutputFile file;
  ASSERT_TRUE(BeginOutputFile(file, target.c_str()));
  std::fputs("half", file.stream);
  AbandonOutputFile(file);
  EXPECT_EQ(Read(target), "old\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"g.txt"});
}

TEST(OutputFile, ASymbolicLinkIsReplacedNotFollowed) {
  Folder folder;
  const std::string victim = folder / "victim.txt", link = folder / "g.txt";
  Put(victim, "precious\n");
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  char error[OutputErrorCapacity];
  ASSERT_TRUE(CheckOutputTarget(link.c_str(), error)) << error;
  ASSERT_TRUE(Write(link.c_str(), "grid\n"));
  EXPECT_EQ(Read(victim), "precious\n");
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(Read(link), "grid\n");
  // A dangling link is replaced too, and its target never made.
  const std::string dangling = folder / "d.txt";
  ASSERT_EQ(symlink((folder / "nowhere.txt").c_str(), dangling.c_str()), 0);
  ASSERT_TRUE(Write(dangling.c_str(), "x"));
  EXPECT_FALSE(fs::exists(folder / "nowhere.txt"));
}

TEST(OutputFile, AReplacedFileKeepsItsPermissions) {
  Folder folder;
  const std::string target = folder / "p.png";
  Put(target, "old");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(Write(target.c_str(), "new"));
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(OutputFile, TargetsThatCannotBeReplacedAreRefusedUntouched) {
  Folder folder;
  const std::string fifo = folder / "fifo", dir = folder / "dir",
                    missing = folder / "no/such/g.txt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_TRUE(fs::create_directory(dir));
  char error[OutputErrorCapacity];
  // A FIFO is refused without being opened (opening it would block here).
  EXPECT_FALSE(CheckOutputTarget(fifo.c_str(), error));
  EXPECT_STREQ(error, "a FIFO, not a regular file");
  EXPECT_FALSE(CheckOutputTarget(dir.c_str(), error));
  EXPECT_FALSE(CheckOutputTarget("/dev/null", error));
  EXPECT_STREQ(error, "a device, not a regular file");
  EXPECT_FALSE(CheckOutputTarget(missing.c_str(), error));
  EXPECT_FALSE(CheckOutputTarget((folder / "x/").c_str(), error));
  EXPECT_FALSE(CheckOutputTarget("", error));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  // The check leaves nothing behind in a folder it accepts.
  EXPECT_TRUE(CheckOutputTarget((folder / "new.txt").c_str(), error)) << error;
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"dir", "fifo"}));
}

TEST(OutputFile, AFailedWriteLeavesTheOldFile) {
  Folder folder;
  const std::string target = folder / "p.png";
  Put(target, "old picture");
  // Writes past the size limit fail as on a full disk (EFBIG, with SIGXFSZ ignored).
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = Write(target.c_str(), std::string(100000, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_EQ(Read(target), "old picture");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"p.png"});
}

TEST(OutputFile, AnEndSignalRemovesTheTemporaryFile) {
  Folder folder;
  const std::string target = folder / "g.txt";
  Put(target, "old\n");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RemoveOutputFilesOnSignal();
    OutputFile file;
    if (!BeginOutputFile(file, target.c_str())) _exit(10);
    std::fputs("half", file.stream);
    std::fflush(file.stream);
    raise(SIGTERM);
    _exit(11);  // not reached: the signal ends the child
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << status;
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(Read(target), "old\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"g.txt"});
}

// The folder is held from the start: moved during a write, it gets the file
// (or, abandoned, nothing) where it went, and no temporary file is left.
TEST(OutputFile, AFolderMovedDuringTheWriteKeepsNoTemporaryFile) {
  Folder outer;
  const std::string before = outer / "out", after = outer / "moved";
  fs::create_directory(before);
  OutputFile kept, dropped;
  ASSERT_TRUE(BeginOutputFile(kept, (before + "/kept.txt").c_str()));
  ASSERT_TRUE(BeginOutputFile(dropped, (before + "/dropped.txt").c_str()));
  std::fputs("whole\n", kept.stream);
  std::fputs("half", dropped.stream);
  fs::rename(before, after);
  ASSERT_TRUE(CommitOutputFile(kept)) << kept.error;
  AbandonOutputFile(dropped);
  EXPECT_EQ(Read(after + "/kept.txt"), "whole\n");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(after)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"kept.txt"});
  EXPECT_FALSE(fs::exists(before));
}

TEST(OutputFile, AFolderThatTakesNoFileIsNamedAsTheReason) {
  char error[OutputErrorCapacity];
  // /proc's files exist, but its file system makes no new ones.
  EXPECT_FALSE(CheckOutputTarget("/proc/version-of-lemvaris", error));
  EXPECT_STREQ(error, "its folder takes no new file (its file system makes none)");
  EXPECT_FALSE(CheckOutputTarget("/no/such/folder/out.csv", error));
  EXPECT_STREQ(error, "its folder cannot be used: No such file or directory");
}
