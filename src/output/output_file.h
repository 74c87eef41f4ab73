// Files a person names for the program to write (the batch runner's --grid
// and --png, pictures saved from Python), written complete or not at all.
//
// - CheckOutputTarget, before any work: the target must be a new name, a
//   regular file we may write, or a symbolic link, in a folder where a file
//   can be made. A device, FIFO, directory or socket is refused without being
//   opened (opening a FIFO blocks).
// - BeginOutputFile makes a new temporary file beside the target (never
//   following a link); CommitOutputFile flushes it to the disk and renames it
//   over the target. The rename replaces a symbolic link itself, never the
//   file it points to, and until then the target is untouched.
// - A failed write, AbandonOutputFile, or a signal that ends the program
//   (after RemoveOutputFilesOnSignal) removes the temporary file. Nothing
//   else is ever removed.
//
// Paths are cut at OutputPathCapacity bytes; a longer one is refused.
#pragma once

#include <cstdio>

// Longest path accepted, in bytes (Linux's PATH_MAX less the terminator).
inline constexpr int OutputPathCapacity = 4095;
// Room for a short reason a target is refused or a write failed.
inline constexpr int OutputErrorCapacity = 160;

struct OutputFile {
  char target[OutputPathCapacity + 1] = {};
  char temporary[OutputPathCapacity + 1] = {};
  std::FILE* stream = nullptr;  // open between Begin and Commit/Abandon
  int slot = -1;                // where the signal handler finds the temporary name
  char error[OutputErrorCapacity] = {};  // why the last call failed
};

// True when path can be replaced by a new file; else false, with the reason
// in error (of OutputErrorCapacity bytes).
bool CheckOutputTarget(const char* path, char* error);

// Make the temporary file for path and open it for writing; false with
// file.error set when it cannot be made.
bool BeginOutputFile(OutputFile& file, const char* path);
// Finish the temporary file and put it in the target's place; false (and the
// temporary file removed, the target untouched) when any step fails.
bool CommitOutputFile(OutputFile& file);
// Close and remove the temporary file; the target stays as it was.
void AbandonOutputFile(OutputFile& file);

// Write the file at path in one go: write(stream) gives its content and
// says whether all went well; false (errno set) leaves the target untouched.
template <class Write>
bool WriteOutputFile(const char* path, Write&& write) {
  OutputFile file;
  if (!BeginOutputFile(file, path)) return false;
  if (!write(file.stream)) {
    AbandonOutputFile(file);
    return false;
  }
  return CommitOutputFile(file);
}

// From now on SIGINT, SIGTERM, SIGHUP and SIGQUIT remove every temporary
// file still open before the program ends by the signal; a signal ignored
// when the program started stays ignored. For programs without signal
// handlers of their own (the batch runner).
void RemoveOutputFilesOnSignal();
