#include "files.h"

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

void CheckFileTargets(const std::vector<std::string>& paths) {
  std::vector<const char*> names;
  for (const std::string& path : paths) names.push_back(path.c_str());
  char reason[OutputErrorCapacity];
  int other = -1;
  const int count = static_cast<int>(names.size());
  const int refused = CheckOutputTargets(names.data(), count, reason, other);
  if (refused < 0) return;
  if (other >= 0) {
    const py::str message = py::str("\"{}\" and \"{}\" name the same file")
                                .format(FileNameShown(paths[other]), FileNameShown(paths[refused]));
    PyErr_SetObject(PyExc_OSError, message.ptr());
    throw py::error_already_set();
  }
  RaiseWriteError(paths[refused], reason);
}

void WriteWholeFile(const std::string& path, const std::function<bool(std::FILE*)>& write) {
  OutputFile file;  // Begin checks the target by the rule once more
  if (!BeginOutputFile(file, path.c_str())) RaiseWriteError(path, file.error);
  if (!write(file.stream)) {
    AbandonOutputFile(file);
    RaiseWriteError(path, file.error[0] ? file.error : "the content could not be written");
  }
  if (!CommitOutputFile(file)) RaiseWriteError(path, file.error);
}

void DefineFileFunctions(py::module_& m) {
  m.def(
      "check_output",
      [](const py::args& paths) {
        if (paths.size() == 0) throw py::type_error("check_output() needs at least one path");
        std::vector<std::string> names;
        for (const py::handle& path : paths) names.push_back(FileNameBytes("path", path));
        CheckFileTargets(names);
      },
      "check_output(*paths)\n\nRaise OSError unless every path (str, bytes or os.PathLike) may "
      "be written\nby the output rule: not a device, FIFO or folder, nor a link to one, in a "
      "folder\nthat takes a new file, and no file named twice.");
  m.def(
      "write_output",
      [](const py::object& path, const py::bytes& data) {
        const std::string name = FileNameBytes("path", path);
        const std::string content = data;
        WriteWholeFile(name, [&](std::FILE* stream) {
          return std::fwrite(content.data(), 1, content.size(), stream) == content.size();
        });
      },
      py::arg("path"), py::arg("data"),
      "write_output(path, data)\n\nThe file at path holding data, whole or not at all: written "
      "beside it and\nrenamed in, an old file's mode kept, a new one's from the umask.");
}
