// Files a person names from Python (a picture, a sweep's table), under the
// one rule of every writer (output/output_file.h, its table in
// tests/output/output_rule_cases.txt): the targets checked before any work,
// each file written beside its target and renamed in, whole or not at all.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace py = pybind11;

// OSError "cannot write "path": why" unless every path may be written by the
// rule, alone and beside the ones before it (never one file twice).
void CheckFileTargets(const std::vector<std::string>& paths);

// The file at path from write(stream), which says whether all went well;
// OSError with the system's reason (the target untouched) when any step fails.
void WriteWholeFile(const std::string& path, const std::function<bool(std::FILE*)>& write);

// check_output(*paths) and write_output(path, data) for the pure-Python parts.
void DefineFileFunctions(py::module_& m);
