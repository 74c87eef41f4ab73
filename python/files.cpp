#include "files.h"

#include <cerrno>
#include <cstring>

#include "arguments.h"
#include "output/output_file.h"

namespace {

[[noreturn]] void RaiseWriteError(const std::string& path, const char* reason) {
  const py::str message = py::str("cannot write \"{}\": {}").format(FileNameShown(path), reason);
  PyErr_SetObject(PyExc_OSError, message.ptr());
  throw py::error_already_set();
}

}  // namespace

void CheckFileTarget(const std::string& path) {
  char reason[OutputErrorCapacity];
  if (!CheckOutputTarget(path.c_str(), reason)) RaiseWriteError(path, reason);
}

void WriteWholeFile(const std::string& path, const std::function<bool(std::FILE*)>& write) {
  CheckFileTarget(path);
  OutputFile file;
  if (!BeginOutputFile(file, path.c_str())) RaiseWriteError(path, file.error);
  if (!write(file.stream)) {
    const int failure = errno;
    AbandonOutputFile(file);
    RaiseWriteError(path, failure ? std::strerror(failure) : "the content could not be written");
  }
  if (!CommitOutputFile(file)) RaiseWriteError(path, file.error);
}

void DefineFileFunctions(py::module_& m) {
  m.def(
      "check_output",
      [](const py::object& path) { CheckFileTarget(FileNameBytes("path", path)); },
      py::arg("path"),
      "check_output(path)\n\nRaise OSError unless path (str, bytes or os.PathLike) can take a "
      "new file: not a device, FIFO or folder, in a folder where a file can be made.");
  m.def(
      "write_output",
      [](const py::object& path, const py::bytes& data) {
        const std::string name = FileNameBytes("path", path);
        const std::string content = data;
        WriteWholeFile(name, [&](std::FILE* stream) {
          errno = 0;
          return std::fwrite(content.data(), 1, content.size(), stream) == content.size();
        });
      },
      py::arg("path"), py::arg("data"),
      "write_output(path, data)\n\nThe file at path holding data, whole or not at all: "
      "written beside it and renamed in, an old file's permissions kept.");
}
