// Files a person names for the program to write (the batch runner's --grid,
// --png and --gif, pictures saved from Python): one rule for all of them,
// written complete or not at all.
//
// The rule (tests/output/output_rule_cases.txt is its table):
// - A target is a new name, a regular file we may write, or a symbolic link
//   to a regular file or to nothing, in a folder where a file can be made.
//   A device, FIFO, folder or socket is refused, and so is a link to one
//   (`--gif /dev/stdout` on a terminal or a pipe), without being opened
//   (opening a FIFO blocks); so is the file that is the program's own
//   standard output or error (`--gif /dev/stdout > x.gif`).
// - The same file may not be named twice: not by two spellings of one path,
//   through a linked folder, as a link and the file it points to, as two
//   links to one file, or as two hard links.
// - The file is written to a new temporary file beside the target (never
//   through a link: O_EXCL) and renamed over it only when whole. The rename
//   replaces a link itself, never the file it points to. A replaced file
//   keeps its mode (and owner, where we may); a new one gets 0666 less the
//   umask. The target's folder is held open from the start and everything
//   is done relative to it, so a folder moved during a run gets the file
//   where it went, and nothing is left behind.
// - A failed write, AbandonOutputFile, or a signal that ends the program
//   (after RemoveOutputFilesOnSignal) removes the temporary file. Nothing
//   else is ever removed.
//
// Reasons are short English texts; the system's own (strerror) where the
// system gave one. Paths are cut at OutputPathCapacity bytes; a longer one
// is refused.
#pragma once

#include <cerrno>
#include <cstdio>

// Longest path accepted, in bytes (Linux's PATH_MAX less the terminator).
inline constexpr int OutputPathCapacity = 4095;
// Room for a short reason a target is refused or a write failed.
inline constexpr int OutputErrorCapacity = 160;

struct OutputFile {
  char target[OutputPathCapacity + 1] = {};
  char temporary[OutputPathCapacity + 1] = {};  // its name in the folder
  int folder = -1;              // the target's folder, held open between Begin and the end
  std::FILE* stream = nullptr;  // open between Begin and Commit/Abandon
  int fd = -1;                  // the temporary file's descriptor, under stream
  int slot = -1;                // where the signal handler finds the temporary name
  int writeErrno = 0;           // the system's reason the first failed write failed
  char error[OutputErrorCapacity] = {};  // why the last call failed
};

// ------------------------------------------------------------- the checks
// True when path may be written by the rule; else false, with the reason in
// error (of OutputErrorCapacity bytes). Leaves nothing behind.
bool CheckOutputTarget(const char* path, char* error);
// True when a and b name one file by the rule (both are checked targets).
bool SameOutputFile(const char* a, const char* b);
// Check count targets in order, each alone and against the ones before it.
// -1 when all may be written; else the index of the first refused one, with
// the reason in error and, when it names the same file as an earlier one,
// that one's index in other (else -1).
int CheckOutputTargets(const char* const* paths, int count, char* error, int& other);

// ------------------------------------------------------------- a whole write
// Make the temporary file for path and open file.stream on it; false with
// file.error set when path is refused by the rule or nothing can be made.
bool BeginOutputFile(OutputFile& file, const char* path);
// Finish the temporary file and put it in the target's place; false (and the
// temporary file removed, the target untouched, file.error set) when any
// step or any earlier write failed.
bool CommitOutputFile(OutputFile& file);
// Close and remove the temporary file; the target stays as it was.
// file.error then holds the reason an earlier write failed, if one did.
void AbandonOutputFile(OutputFile& file);

// Write the file at path in one go: write(stream) gives its content and
// says whether all went well; false (errno set: the system's reason, or EIO
// when the writer gave up by itself) leaves the target untouched.
template <class Write>
bool WriteOutputFile(const char* path, Write&& write) {
  OutputFile file;
  if (!BeginOutputFile(file, path)) return false;
  if (!write(file.stream)) {
    AbandonOutputFile(file);
    errno = file.writeErrno != 0 ? file.writeErrno : EIO;
    return false;
  }
  return CommitOutputFile(file);
}

// ------------------------------------------------------------- signals
// From now on every end signal (platform/end_signals.h) removes every
// temporary file still open, then ends the program by that signal (the shell
// sees 128 + its number); a signal ignored when the program started stays
// ignored. A SIGPIPE or SIGXFSZ from the program's own write does not end it:
// the write fails and is reported. For programs without signal handlers of
// their own (the batch runner).
void RemoveOutputFilesOnSignal();
