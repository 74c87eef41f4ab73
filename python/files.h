// Files a person names from Python (a picture, a sweep's table), under the
// batch runner's rule (output/output_file.h): the target checked before any
// work, the file written beside it and renamed in, whole or not at all.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdio>
#include <functional>
#include <string>

namespace py = pybind11;

// OSError "cannot write "path": why" unless path can take a new file.
void CheckFileTarget(const std::string& path);

// The file at path from write(stream), which says whether all went well;
// OSError (the target untouched) when any step fails.
void WriteWholeFile(const std::string& path, const std::function<bool(std::FILE*)>& write);

// check_output(path) and write_output(path, data) for the pure-Python parts.
void DefineFileFunctions(py::module_& m);
