#include "output/output_file.h"

#include <fcntl.h>     // Required for: open
#include <sys/stat.h>  // Required for: lstat, fchmod
#include <time.h>      // Required for: clock_gettime
#include <unistd.h>    // Required for: access, fsync, unlink, getpid

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

// Temporary files that may be open at the same time (the batch runner has
// two or three; Python may save from a few threads).
constexpr int OutputSlotCount = 8;
// Attempts at a free temporary name before giving up.
constexpr int TemporaryNameAttempts = 64;

constexpr int EndSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A slot is Free, Claimed (its name being written) or Live (the handler may
// remove the file it names). Lock-free atomics are safe in a handler.
enum SlotState : int { Free, Claimed, Live };
std::atomic<int> slotState[OutputSlotCount];
char slotPath[OutputSlotCount][OutputPathCapacity + 1];
static_assert(std::atomic<int>::is_always_lock_free);

void SetError(char* error, const char* text) {
  std::strncpy(error, text, OutputErrorCapacity - 1);
  error[OutputErrorCapacity - 1] = '\0';
}

void SetErrno(char* error) { SetError(error, std::strerror(errno)); }

// The end signals held back while a temporary file comes or goes, so that
// the handler never sees half of it.
struct HeldSignals {
  sigset_t previous;
};

void HoldEndSignals(HeldSignals& held) {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : EndSignals) sigaddset(&set, sig);
  pthread_sigmask(SIG_BLOCK, &set, &held.previous);
}

void ReleaseEndSignals(const HeldSignals& held) { pthread_sigmask(SIG_SETMASK, &held.previous, nullptr); }

int ClaimSlot() {
  for (int i = 0; i < OutputSlotCount; ++i) {
    int expected = Free;
    if (slotState[i].compare_exchange_strong(expected, Claimed)) return i;
  }
  return -1;
}

void ReleaseSlot(int slot) {
  if (slot >= 0) slotState[slot].store(Free);
}

// The folder part of path with its slash ("" for a bare name).
std::size_t FolderLength(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
}

// A name for a new file in path's folder, different at every call.
bool TemporaryName(const char* path, char* out) {
  static std::atomic<unsigned> counter{0};
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned mix = static_cast<unsigned>(now.tv_nsec) ^ static_cast<unsigned>(getpid()) * 2654435761u ^
                 counter.fetch_add(1) * 40503u;
  const std::size_t folder = FolderLength(path);
  char name[32];
  int n = std::snprintf(name, sizeof name, ".lemvaris-%08x.tmp", mix);
  if (folder + static_cast<std::size_t>(n) > OutputPathCapacity) return false;
  std::memcpy(out, path, folder);
  std::memcpy(out + folder, name, static_cast<std::size_t>(n) + 1);
  return true;
}

// Create a new file in path's folder (never through a link: O_EXCL); its
// name goes to name. The descriptor, or -1 with errno set.
int CreateTemporary(const char* path, char* name) {
  for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
    if (!TemporaryName(path, name)) {
      errno = ENAMETOOLONG;
      return -1;
    }
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Close (when open) and remove the temporary file, then free its slot.
void Discard(OutputFile& file) {
  HeldSignals held;
  HoldEndSignals(held);
  if (file.stream != nullptr) std::fclose(file.stream);
  file.stream = nullptr;
  if (file.slot >= 0) unlink(file.temporary);
  ReleaseSlot(file.slot);
  file.slot = -1;
  ReleaseEndSignals(held);
}

bool Fail(OutputFile& file, int savedErrno) {
  Discard(file);
  errno = savedErrno;
  SetErrno(file.error);
  return false;
}

void RemoveAndEnd(int sig) {
  for (int i = 0; i < OutputSlotCount; ++i)
    if (slotState[i].load() == Live) unlink(slotPath[i]);
  // The handler was reset to the default: the signal ends the program as it
  // would have, once this handler returns.
  raise(sig);
}

}  // namespace

bool CheckOutputTarget(const char* path, char* error) {
  const std::size_t length = path == nullptr ? 0 : std::strlen(path);
  if (length == 0) return SetError(error, "no file name"), false;
  if (length > OutputPathCapacity) return SetError(error, "the path is too long"), false;
  if (path[length - 1] == '/') return SetError(error, "names a folder, not a file"), false;
  struct stat info;
  if (lstat(path, &info) == 0) {
    if (!S_ISLNK(info.st_mode) && !S_ISREG(info.st_mode))
      return SetError(error, "not a regular file"), false;
    if (S_ISREG(info.st_mode) && access(path, W_OK) != 0) return SetErrno(error), false;
  } else if (errno != ENOENT) {
    return SetErrno(error), false;
  }
  // The folder must take a new file: make one and remove it again.
  char probe[OutputPathCapacity + 1];
  int fd = CreateTemporary(path, probe);
  if (fd < 0) return SetErrno(error), false;
  close(fd);
  unlink(probe);
  return true;
}

bool BeginOutputFile(OutputFile& file, const char* path) {
  file.error[0] = '\0';
  const std::size_t length = std::strlen(path);
  if (length == 0 || length > OutputPathCapacity) return SetError(file.error, "no usable file name"), false;
  std::memcpy(file.target, path, length + 1);
  HeldSignals held;
  HoldEndSignals(held);
  file.slot = ClaimSlot();
  if (file.slot < 0) {
    ReleaseEndSignals(held);
    return SetError(file.error, "too many files being written at once"), false;
  }
  int fd = CreateTemporary(path, file.temporary);
  if (fd >= 0) {
    std::memcpy(slotPath[file.slot], file.temporary, sizeof file.temporary);
    slotState[file.slot].store(Live);
  } else {
    ReleaseSlot(file.slot);
    file.slot = -1;
  }
  ReleaseEndSignals(held);
  if (fd < 0) return SetErrno(file.error), false;
  // A file replaced keeps its permissions; a new one gets the umask's.
  struct stat info;
  if (lstat(path, &info) == 0 && S_ISREG(info.st_mode)) fchmod(fd, info.st_mode & 07777);
  file.stream = fdopen(fd, "wb");
  if (file.stream == nullptr) {
    int saved = errno;
    close(fd);
    return Fail(file, saved);
  }
  return true;
}

bool CommitOutputFile(OutputFile& file) {
  if (file.stream == nullptr) return SetError(file.error, "the file is not open"), false;
  if (std::fflush(file.stream) != 0 || std::ferror(file.stream) != 0) return Fail(file, errno ? errno : EIO);
  if (fsync(fileno(file.stream)) != 0) return Fail(file, errno);
  HeldSignals held;
  HoldEndSignals(held);
  int closed = std::fclose(file.stream);
  file.stream = nullptr;
  int saved = errno;
  if (closed != 0 || rename(file.temporary, file.target) != 0) {
    if (closed == 0) saved = errno;
    ReleaseEndSignals(held);
    return Fail(file, saved);
  }
  ReleaseSlot(file.slot);
  file.slot = -1;
  ReleaseEndSignals(held);
  return true;
}

void AbandonOutputFile(OutputFile& file) { Discard(file); }

void RemoveOutputFilesOnSignal() {
  for (int sig : EndSignals) {
    // A signal ignored from the start stays ignored (nohup, background jobs).
    struct sigaction current = {};
    if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = RemoveAndEnd;
    sigemptyset(&action.sa_mask);
    for (int other : EndSignals) sigaddset(&action.sa_mask, other);
    action.sa_flags = SA_RESETHAND;
    sigaction(sig, &action, nullptr);
  }
}
