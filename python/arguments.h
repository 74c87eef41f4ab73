// The module's arguments read by the room's rules: a parameter's value is
// checked by CheckParameter and refused in DescribeRefusal's words (TypeError
// for a wrong type, ValueError outside its range, whatever the size of an
// integer). File names are what Python's open takes: str, bytes or
// os.PathLike.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "experiment/parameters.h"

namespace py = pybind11;

// An argument kept as the object given, so that the procedure that reads it
// words the refusal; Hint is the type the signature shows.
template <typename Hint>
struct Given {
  py::object object;
};

struct IntHint {
  static constexpr auto name = py::detail::const_name("int");
};
struct PathHint {
  static constexpr auto name = py::detail::const_name("Union[str, bytes, os.PathLike]");
};
struct ArrayHint {
  static constexpr auto name = py::detail::const_name("Optional[numpy.ndarray]");
};
struct CallableHint {
  static constexpr auto name = py::detail::const_name("Optional[Callable[[], object]]");
};
struct NumberHint {
  static constexpr auto name = py::detail::const_name("float");
};

using IntArgument = Given<IntHint>;
using PathArgument = Given<PathHint>;

namespace pybind11::detail {
template <typename Hint>
struct type_caster<Given<Hint>> {
  PYBIND11_TYPE_CASTER(Given<Hint>, Hint::name);
  bool load(handle source, bool) {
    value.object = reinterpret_borrow<object>(source);
    return true;
  }
};
}  // namespace pybind11::detail

// A set of parameters as given to a call, in Parameters' order; None for one
// left out.
struct GivenParameters {
  py::handle value[ParameterCount];
};

// Read the given parameters from `first` on as their kinds and check the
// whole set (the ones before `first` came from elsewhere, in values):
// TypeError for a missing one (all named, as Python names them) or a wrong
// type, ValueError for the first refused.
ParameterValues ReadParameterSet(const char* function, const GivenParameters& given,
                                 ParameterValues values = {}, int first = 0);

// value as a Python integer through __index__: TypeError "name must be an
// integer, not ..." otherwise.
py::int_ WholeArgument(const char* name, const py::handle& value);

// Python's repr of value, cut when huge, or a description when it cannot be
// given (an integer too long to print).
std::string Shown(const py::handle& value);

// ValueError from a message that may hold bytes of a file name or argument
// that are not UTF-8 (kept as escapes).
[[noreturn]] void RaiseValueError(const std::string& message);

// A file name as the bytes the system takes (str through the file system
// encoding with surrogateescape, as open does); ValueError for a NUL byte,
// TypeError for anything but str, bytes and os.PathLike.
std::string FileNameBytes(const char* name, const py::handle& path);
// The name as Python shows it (bytes that do not decode kept as escapes).
py::str FileNameShown(const std::string& path);
