// The rule for files a person names (output_file.h).
//
// Sections: the signal handler's slots; names and temporary files; the
// rule's checks; the stream; a whole write; signals.
#include "output/output_file.h"

#include <fcntl.h>      // Required for: open, openat
#include <stdio_ext.h>  // Required for: __fpurge (a doomed file's buffer is dropped, not written)
#include <sys/stat.h>   // Required for: lstat, stat, fstatat, fchmod
#include <time.h>       // Required for: clock_gettime
#include <unistd.h>     // Required for: access, fsync, unlinkat, fchown

#include <atomic>
#include <cstdio>
#include <csignal>
#include <cstring>

#include "platform/end_signals.h"

namespace {

// ------------------------------------------------------------- slots
// Temporary files that may be open at the same time (the batch runner has
// two or three; Python may save from a few threads).
constexpr int OutputSlotCount = 8;
// Attempts at a free temporary name before giving up.
constexpr int TemporaryNameAttempts = 64;

// A slot is Free, Claimed (its name being written) or Live (the handler may
// remove the file it names). Lock-free atomics are safe in a handler.
enum SlotState : int { Free, Claimed, Live };
std::atomic<int> slotState[OutputSlotCount];
char slotPath[OutputSlotCount][OutputPathCapacity + 1];  // the temporary file's name
int slotFolder[OutputSlotCount];                         // in this folder
static_assert(std::atomic<int>::is_always_lock_free);

bool SetError(char* error, const char* text) {
  std::snprintf(error, OutputErrorCapacity, "%s", text);
  return false;
}

bool SetErrno(char* error, int code) { return SetError(error, std::strerror(code)); }

// The end signals held back while a temporary file comes or goes, so that
// the handler never sees half of it.
struct HeldSignals {
  sigset_t previous;
};

void HoldEndSignals(HeldSignals& held) {
  const sigset_t set = EndSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, &held.previous);
}

void ReleaseEndSignals(const HeldSignals& held) {
  pthread_sigmask(SIG_SETMASK, &held.previous, nullptr);
}

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

// ------------------------------------------------------------- names
// The folder part of path with its slash ("" for a bare name).
std::size_t FolderLength(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
}

// The last part of path: the target's name in its folder.
const char* NameIn(const char* path) { return path + FolderLength(path); }

// Open path's folder (the working folder for a bare name) to work in; -1
// with errno set.
int OpenFolder(const char* path) {
  const std::size_t length = FolderLength(path);
  char folder[OutputPathCapacity + 1] = ".";
  if (length > 0) {
    std::memcpy(folder, path, length);
    folder[length] = '\0';
  }
  return open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// A name for a new file, different at every call.
void TemporaryName(char* out) {
  static std::atomic<unsigned> counter{0};
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned mix = static_cast<unsigned>(now.tv_nsec) ^
                 static_cast<unsigned>(getpid()) * 2654435761u ^ counter.fetch_add(1) * 40503u;
  std::snprintf(out, OutputPathCapacity + 1, ".lemvaris-%08x.tmp", mix);
}

// Create a new file in the folder (never through a link: O_EXCL), mode
// 0666 less the umask; its name goes to name. The descriptor, or -1 with
// errno set.
int CreateTemporary(int folder, char* name) {
  for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
    TemporaryName(name);
    int fd = openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Why a file cannot be made in a folder, in words that say it is the folder:
// a folder that is there but gives ENOENT is on a file system that makes no
// files (/proc).
bool SetFolderError(char* error, int code, bool folderOpened) {
  char text[OutputErrorCapacity];
  if (code == ENOENT && folderOpened)
    std::snprintf(text, sizeof text, "its folder takes no new file (its file system makes none)");
  else
    std::snprintf(text, sizeof text, "its folder %s: %s",
                  folderOpened ? "takes no new file" : "cannot be used", std::strerror(code));
  return SetError(error, text);
}

// ------------------------------------------------------------- the rule
const char* KindName(mode_t mode) {
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a file";
}

// The program's standard output or error (1, 2) when it is this file, else 0.
int StandardDescriptorOf(const struct stat& file) {
  for (int fd = 1; fd <= 2; ++fd) {
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_dev == file.st_dev &&
        info.st_ino == file.st_ino)
      return fd;
  }
  return 0;
}

// What the rule says of what the name in the folder names; false with the
// reason in error.
bool KindAllowedAt(int folder, const char* name, char* error) {
  struct stat info;
  if (fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT || SetErrno(error, errno);
  const bool link = S_ISLNK(info.st_mode);
  // A link to nothing is replaced like a link to a file.
  if (link && fstatat(folder, name, &info, 0) != 0)
    return errno == ENOENT || SetErrno(error, errno);
  if (!S_ISREG(info.st_mode)) {
    char text[OutputErrorCapacity];
    std::snprintf(text, sizeof text, link ? "a link to %s, not to a regular file"
                                          : "%s, not a regular file", KindName(info.st_mode));
    return SetError(error, text);
  }
  if (int fd = StandardDescriptorOf(info))
    return SetError(error, fd == 1 ? "the program's standard output"
                                   : "the program's standard error");
  return true;
}

// What the rule says of path's name and of what it names (the folder is
// tried by CheckOutputTarget alone); false with the reason in error.
bool KindAllowed(const char* path, char* error) {
  const std::size_t length = path == nullptr ? 0 : std::strlen(path);
  if (length == 0) return SetError(error, "no file name");
  if (length > OutputPathCapacity) return SetError(error, "the path is too long");
  if (path[length - 1] == '/') return SetError(error, "names a folder, not a file");
  return KindAllowedAt(AT_FDCWD, path, error);
}

// What tells two named files apart: the folder entry (the folder's identity
// and the last name), the inode the name itself has, and the inode it
// leads to through links.
struct FileKeys {
  bool entry = false, self = false, leads = false;
  dev_t folderDev = 0, selfDev = 0, leadsDev = 0;
  ino_t folderIno = 0, selfIno = 0, leadsIno = 0;
  const char* name = nullptr;  // in the path
};

FileKeys KeysOf(const char* path) {
  FileKeys k;
  const std::size_t folder = FolderLength(path);
  if (folder > OutputPathCapacity) return k;
  char folderPath[OutputPathCapacity + 1] = ".";
  if (folder > 0) {
    std::memcpy(folderPath, path, folder);
    folderPath[folder] = '\0';
  }
  struct stat info;
  if (stat(folderPath, &info) == 0) {
    k.entry = true;
    k.folderDev = info.st_dev;
    k.folderIno = info.st_ino;
    k.name = path + folder;
  }
  if (lstat(path, &info) == 0) {
    k.self = true;
    k.selfDev = info.st_dev;
    k.selfIno = info.st_ino;
  }
  if (stat(path, &info) == 0) {
    k.leads = true;
    k.leadsDev = info.st_dev;
    k.leadsIno = info.st_ino;
  }
  return k;
}

bool SameInode(bool has, dev_t dev, ino_t ino, bool otherHas, dev_t otherDev, ino_t otherIno) {
  return has && otherHas && dev == otherDev && ino == otherIno;
}

// ------------------------------------------------------------- the stream
// Every byte goes through here, so the first failed write's reason is kept
// (a later call may change errno before anyone reports it). A short count
// tells the stream that the write failed; glibc wants it never negative.
ssize_t WriteToTemporary(void* cookie, const char* bytes, std::size_t size) {
  OutputFile& file = *static_cast<OutputFile*>(cookie);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(file.fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (file.writeErrno == 0) file.writeErrno = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Close (when open) and remove the temporary file, then free its slot.
void Discard(OutputFile& file) {
  HeldSignals held;
  HoldEndSignals(held);
  if (file.stream != nullptr) {
    __fpurge(file.stream);
    std::fclose(file.stream);
  }
  file.stream = nullptr;
  if (file.fd >= 0) close(file.fd);
  file.fd = -1;
  if (file.slot >= 0) unlinkat(file.folder, file.temporary, 0);
  ReleaseSlot(file.slot);
  file.slot = -1;
  if (file.folder >= 0) close(file.folder);
  file.folder = -1;
  ReleaseEndSignals(held);
}

bool Fail(OutputFile& file, int code) {
  Discard(file);
  errno = code;
  return SetErrno(file.error, code);
}

bool FailWith(OutputFile& file, const char* reason) {
  Discard(file);
  errno = EINVAL;
  return SetError(file.error, reason);
}

// An end signal: remove every temporary file still open, then end by the
// signal itself.
void RemoveAndEnd(int sig, siginfo_t* info, void*) {
  if (FromOwnWrite(sig, info)) return;  // the write fails, and is reported
  for (int i = 0; i < OutputSlotCount; ++i)
    if (slotState[i].load() == Live) unlinkat(slotFolder[i], slotPath[i], 0);
  // The signal ends the program as it would have, once this handler returns.
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigaction(sig, &standard, nullptr);
  raise(sig);
}

}  // namespace

bool CheckOutputTarget(const char* path, char* error) {
  if (!KindAllowed(path, error)) return false;
  struct stat info;
  if (lstat(path, &info) == 0 && S_ISREG(info.st_mode) && access(path, W_OK) != 0)
    return SetErrno(error, errno);
  // The folder must take a new file: make one and remove it again.
  const int folder = OpenFolder(path);
  if (folder < 0) return SetFolderError(error, errno, false);
  char probe[OutputPathCapacity + 1];
  const int fd = CreateTemporary(folder, probe);
  const int saved = errno;
  if (fd >= 0) {
    close(fd);
    unlinkat(folder, probe, 0);
  }
  close(folder);
  return fd >= 0 || SetFolderError(error, saved, true);
}

bool SameOutputFile(const char* a, const char* b) {
  const FileKeys x = KeysOf(a), y = KeysOf(b);
  if (x.entry && y.entry && x.folderDev == y.folderDev && x.folderIno == y.folderIno &&
      std::strcmp(x.name, y.name) == 0)
    return true;
  return SameInode(x.self, x.selfDev, x.selfIno, y.self, y.selfDev, y.selfIno) ||
         SameInode(x.self, x.selfDev, x.selfIno, y.leads, y.leadsDev, y.leadsIno) ||
         SameInode(x.leads, x.leadsDev, x.leadsIno, y.self, y.selfDev, y.selfIno) ||
         SameInode(x.leads, x.leadsDev, x.leadsIno, y.leads, y.leadsDev, y.leadsIno);
}

int CheckOutputTargets(const char* const* paths, int count, char* error, int& other) {
  other = -1;
  for (int i = 0; i < count; ++i) {
    for (int k = 0; k < i; ++k)
      if (SameOutputFile(paths[k], paths[i])) {
        other = k;
        SetError(error, "the same file as another output");
        return i;
      }
    if (!CheckOutputTarget(paths[i], error)) return i;
  }
  return -1;
}

bool BeginOutputFile(OutputFile& file, const char* path) {
  file.error[0] = '\0';
  file.writeErrno = 0;
  if (!KindAllowed(path, file.error)) return false;
  std::memcpy(file.target, path, std::strlen(path) + 1);
  HeldSignals held;
  HoldEndSignals(held);
  file.slot = ClaimSlot();
  if (file.slot < 0) {
    ReleaseEndSignals(held);
    return SetError(file.error, "too many files being written at once");
  }
  file.folder = OpenFolder(path);
  const bool folderOpened = file.folder >= 0;
  file.fd = folderOpened ? CreateTemporary(file.folder, file.temporary) : -1;
  const int saved = errno;
  if (file.fd >= 0) {
    std::memcpy(slotPath[file.slot], file.temporary, sizeof file.temporary);
    slotFolder[file.slot] = file.folder;
    slotState[file.slot].store(Live);
  } else {
    ReleaseSlot(file.slot);
    file.slot = -1;
    if (folderOpened) close(file.folder);
    file.folder = -1;
  }
  ReleaseEndSignals(held);
  if (file.fd < 0) return SetFolderError(file.error, saved, folderOpened);
  // A file replaced keeps its owner (where we may give it) and mode; a new
  // one is ours, with the umask's mode. The owner first: it may clear the
  // set-id bits that the mode then puts back.
  struct stat info;
  if (fstatat(file.folder, NameIn(path), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(info.st_mode)) {
    if (fchown(file.fd, info.st_uid, info.st_gid) != 0) {
      // not ours to give: the new file stays ours
    }
    fchmod(file.fd, info.st_mode & 07777);
  }
  file.stream = fopencookie(&file, "w", {nullptr, WriteToTemporary, nullptr, nullptr});
  if (file.stream == nullptr) return Fail(file, errno);
  return true;
}

bool CommitOutputFile(OutputFile& file) {
  if (file.stream == nullptr) return SetError(file.error, "the file is not open");
  if (std::fflush(file.stream) != 0 || std::ferror(file.stream) != 0 || file.writeErrno != 0)
    return Fail(file, file.writeErrno != 0 ? file.writeErrno : EIO);
  if (fsync(file.fd) != 0) return Fail(file, errno);
  // The target may have changed since the check (a FIFO put in its place).
  char reason[OutputErrorCapacity];
  if (!KindAllowedAt(file.folder, NameIn(file.target), reason)) return FailWith(file, reason);
  HeldSignals held;
  HoldEndSignals(held);
  std::fclose(file.stream);  // flushed above; the cookie has nothing to close
  file.stream = nullptr;
  const int closed = close(file.fd);
  file.fd = -1;
  if (closed != 0 || renameat(file.folder, file.temporary, file.folder, NameIn(file.target)) != 0) {
    const int saved = errno;
    ReleaseEndSignals(held);
    return Fail(file, saved);
  }
  ReleaseSlot(file.slot);
  file.slot = -1;
  close(file.folder);
  file.folder = -1;
  ReleaseEndSignals(held);
  return true;
}

void AbandonOutputFile(OutputFile& file) {
  Discard(file);
  if (file.writeErrno != 0) SetErrno(file.error, file.writeErrno);
  else file.error[0] = '\0';
}

void RemoveOutputFilesOnSignal() {
  ForEachEndSignal([](int sig) {
    // A signal ignored from the start stays ignored (nohup, background jobs).
    struct sigaction current = {};
    if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
    struct sigaction action = {};
    action.sa_sigaction = RemoveAndEnd;
    action.sa_mask = EndSignalSet();
    action.sa_flags = SA_SIGINFO;
    sigaction(sig, &action, nullptr);
  });
}
