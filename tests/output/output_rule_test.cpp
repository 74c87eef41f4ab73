// The output file rule's table (output_rule_cases.txt), through every C++
// writer: a text file as the batch runner's grid, the PNG and the GIF. Each
// case is set up in a scratch folder of its own; a refused one must leave
// the folder exactly as it was, both at the check and when a writer is
// handed the name without it; a written one must leave every other entry.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "output/gif_writer.h"
#include "output/output_file.h"
#include "output/png_writer.h"
#include "platform/graph.h"

namespace fs = std::filesystem;

namespace {

constexpr mode_t TestUmask = 002;  // 0664 for a new file: unlike every mode in the table

struct RuleCase {
  std::string name, setUp, outcome;
  std::vector<std::string> names;
};

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(Trim(part));
  return parts;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::vector<RuleCase> ReadCases() {
  std::vector<RuleCase> cases;
  std::ifstream in("output_rule_cases.txt");
  for (std::string line; std::getline(in, line);) {
    if (Trim(line).empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = Split(line, '|');
    if (fields.size() != 4) {
      ADD_FAILURE() << "not four fields: " << line;
      continue;
    }
    cases.push_back({fields[0], fields[1], fields[3], Words(fields[2])});
  }
  return cases;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The scratch folder of one case, removed at the end.
struct Scratch {
  fs::path path;
  Scratch() {
    char name[] = "/tmp/lemvaris-rule-XXXXXX";
    path = mkdtemp(name);
  }
  ~Scratch() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return path.string() + "/" + name; }
};

// Do the set-up steps; false (with a failure) on a step it cannot do.
bool SetUp(const Scratch& scratch, const std::string& steps) {
  if (steps == "-") return true;
  for (const std::string& step : Split(steps, ';')) {
    const std::vector<std::string> w = Words(step);
    bool done = false;
    if (w.size() == 3 && w[0] == "file") {
      std::ofstream(scratch / w[1]) << "old";
      const auto mode = static_cast<mode_t>(std::stoi(w[2], nullptr, 8));
      done = chmod((scratch / w[1]).c_str(), mode) == 0;
    } else if (w.size() == 2 && w[0] == "dir") {
      done = mkdir((scratch / w[1]).c_str(), 0755) == 0;
    } else if (w.size() == 2 && w[0] == "fifo") {
      done = mkfifo((scratch / w[1]).c_str(), 0644) == 0;
    } else if (w.size() == 3 && w[0] == "link") {
      done = symlink(w[2].c_str(), (scratch / w[1]).c_str()) == 0;
    } else if (w.size() == 3 && w[0] == "hardlink") {
      done = link((scratch / w[2]).c_str(), (scratch / w[1]).c_str()) == 0;
    }
    if (!done) {
      ADD_FAILURE() << "set-up step \"" << step << "\" failed";
      return false;
    }
  }
  return true;
}

// Every entry of the folder (links not followed): its kind, mode, link
// target or content.
std::map<std::string, std::string> Snapshot(const Scratch& scratch) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path)) {
    struct stat info;
    lstat(entry.path().c_str(), &info);
    std::ostringstream what;
    what << std::oct << (info.st_mode & 07777) << ' ';
    if (S_ISLNK(info.st_mode)) what << "link to " << fs::read_symlink(entry.path()).string();
    else if (S_ISDIR(info.st_mode)) what << "folder";
    else if (S_ISFIFO(info.st_mode)) what << "FIFO";
    else what << "file " << Read(entry.path());
    entries[entry.path().lexically_relative(scratch.path).string()] = what.str();
  }
  return entries;
}

// The writers, each a whole file at path in its own way.
std::unique_ptr<GraphSurface> SmallSurface() {
  auto g = std::make_unique<GraphSurface>();
  SetSurfaceSize(*g, 16, 12);
  InitGraph(*g);
  PutPixel(*g, 3, 4, 14);
  return g;
}

// Each gives "" when written, else the reason it reports.
std::string WriteText(const char* path) {
  const bool written = WriteOutputFile(path, [](std::FILE* out) {
    for (int row = 0; row < 100; ++row) std::fputs("grid\n", out);
    return std::ferror(out) == 0;
  });
  return written ? "" : std::strerror(errno);
}

std::string WritePicture(const char* path) {
  return WritePng(*SmallSurface(), path) ? "" : std::strerror(errno);
}

// As the batch runner writes --gif: frames as they come, then commit.
std::string WriteAnimation(const char* path) {
  const auto g = SmallSurface();
  auto gif = std::make_unique<GifWriter>();
  OutputFile file;
  if (!BeginOutputFile(file, path)) return file.error;
  const bool written = OpenGif(*gif, file.stream, g->width, g->height, 10) &&
                       AddGifFrame(*gif, *g) && AddGifFrame(*gif, *g) && CloseGif(*gif);
  if (!written) {
    AbandonOutputFile(file);
    return file.error[0] != '\0' ? file.error : "write error";
  }
  return CommitOutputFile(file) ? "" : file.error;
}

struct Writer {
  const char* name;
  std::string (*write)(const char* path);
};
const Writer Writers[] = {{"text", WriteText}, {"png", WritePicture}, {"gif", WriteAnimation}};

// Run one case with one writer.
void RunCase(const RuleCase& c, const Writer& writer) {
  SCOPED_TRACE(c.name + " (" + writer.name + ")");
  Scratch scratch;
  if (!SetUp(scratch, c.setUp)) return;
  const auto before = Snapshot(scratch);
  std::vector<std::string> paths;
  std::vector<const char*> pointers;
  for (const std::string& name : c.names) paths.push_back(scratch / name);
  for (const std::string& path : paths) pointers.push_back(path.c_str());
  char error[OutputErrorCapacity] = {};
  int other = -1;
  const int refused =
      CheckOutputTargets(pointers.data(), static_cast<int>(pointers.size()), error, other);
  const std::vector<std::string> outcome = Words(c.outcome);
  ASSERT_FALSE(outcome.empty());
  if (outcome[0] == "refused") {
    EXPECT_GE(refused, 0) << "accepted";
    EXPECT_NE(error[0], '\0') << "no reason given";
    // The writer alone refuses a name of a kind the rule refuses.
    if (paths.size() == 1) {
      EXPECT_NE(writer.write(pointers[0]), "") << "written without the check";
    }
    EXPECT_EQ(Snapshot(scratch), before) << "the folder changed";
    return;
  }
  ASSERT_EQ(outcome[0], "written") << c.outcome;
  ASSERT_EQ(outcome.size(), paths.size() + 1) << "one mode for each name";
  ASSERT_EQ(refused, -1) << "refused: " << error;
  for (const char* path : pointers)
    ASSERT_EQ(writer.write(path), "") << path;
  auto after = Snapshot(scratch);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    struct stat info;
    ASSERT_EQ(lstat(pointers[i], &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode)) << c.names[i] << " is not a regular file";
    const mode_t mode = outcome[i + 1] == "umask"
                            ? 0666 & ~TestUmask
                            : static_cast<mode_t>(std::stoi(outcome[i + 1], nullptr, 8));
    EXPECT_EQ(info.st_mode & 07777, mode)
        << c.names[i] << std::oct << ": mode " << (info.st_mode & 07777);
    const std::string content = Read(paths[i]);
    EXPECT_TRUE(content != "old" && !content.empty()) << c.names[i] << " holds " << content;
    after.erase(c.names[i]);
  }
  auto rest = before;
  for (const std::string& name : c.names) rest.erase(name);
  EXPECT_EQ(after, rest) << "something else in the folder changed";
}

}  // namespace

TEST(OutputRule, EveryWriterFollowsTheTable) {
  const std::vector<RuleCase> cases = ReadCases();
  ASSERT_GE(cases.size(), 20u) << "output_rule_cases.txt not found or cut short";
  const mode_t saved = umask(TestUmask);
  for (const RuleCase& c : cases)
    for (const Writer& writer : Writers) RunCase(c, writer);
  umask(saved);
}

// A writer that fails says why in the system's words: here the file size
// limit (as on a full disk, with SIGXFSZ ignored), and the old file stays.
TEST(OutputRule, EveryWriterSaysWhyAWriteFailed) {
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  for (const Writer& writer : Writers) {
    Scratch scratch;
    const std::string target = scratch / "old";
    std::ofstream(target) << "old";
    struct rlimit small = saved;
    small.rlim_cur = 64;  // less than any of them writes
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string reason = writer.write(target.c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(reason, std::strerror(EFBIG)) << writer.name;
    EXPECT_EQ(Read(target), "old") << writer.name;
    EXPECT_EQ(Snapshot(scratch).size(), 1u) << writer.name << ": a temporary file was left";
  }
  std::signal(SIGXFSZ, previous);
}
