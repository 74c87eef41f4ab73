// The module's arguments read as Python reads them: positional or keyword,
// with Python's own messages for a missing, doubled or unknown one, and every
// value checked by the parameter's name (TypeError for a wrong type,
// ValueError outside its range, whatever the size of an integer). File names
// are what Python's open takes: str, bytes or os.PathLike.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

namespace py = pybind11;

// A call's parameters: the positional-or-keyword ones (the first `required`
// of them required) and then the keyword-only ones, all optional.
struct Signature {
  const char* function;  // named in the messages, as "Reactor()"
  std::vector<const char*> positional;
  int required;
  std::vector<const char*> keywordOnly;
};

// The arguments of one call in the signature's order; an empty handle for an
// optional one left out. TypeError as Python gives it for a bad call.
std::vector<py::object> BindArguments(const Signature& signature, const py::args& args,
                                      const py::kwargs& kwargs);

// value as an integer in low..high: TypeError "name must be an integer" for
// anything without __index__, ValueError naming the range otherwise.
py::int_ WholeArgument(const char* name, const py::handle& value);
long long WholeInRange(const char* name, const py::handle& value, long long low, long long high);

// value as a double: TypeError "name must be a number" for a string or any
// object without __float__ or __index__.
double NumberArgument(const char* name, const py::handle& value);

// Python's repr of value, or a description when it cannot be given (an
// integer too long to print).
std::string Shown(const py::handle& value);

[[noreturn]] void RefuseValue(const std::string& message);

// A file name as the bytes the system takes (str through the file system
// encoding with surrogateescape, as open does); ValueError for a NUL byte,
// TypeError for anything but str, bytes and os.PathLike.
std::string FileNameBytes(const char* name, const py::handle& path);
// The name as Python shows it (bytes that do not decode kept as escapes).
py::str FileNameShown(const std::string& path);
