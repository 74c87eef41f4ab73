#include "arguments.h"

#include <cmath>

namespace {

// Longest repr shown whole in a message; a longer one is cut (the room's
// messages hold 80 bytes of it).
constexpr std::size_t ShownLimit = 60;

[[noreturn]] void Refuse(bool wrongType, const Refusal& refusal, const ParameterValues& values,
                         const py::handle& given) {
  char message[RefusalMessageCapacity];
  DescribeRefusal(message, refusal, values, "", Shown(given));
  if (wrongType) throw py::type_error(message);
  throw py::value_error(message);
}

// The number a parameter's Python value stands for, or false for a wrong
// type. An integer past every double counts as infinite: out of every range.
bool NumberOf(int index, const py::handle& given, double& number) {
  if (Parameters[index].kind == ParameterKind::Real) {
    number = PyFloat_AsDouble(given.ptr());
    if (!(number == -1.0 && PyErr_Occurred())) return true;
    if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
      PyErr_Clear();
      number = HUGE_VAL;
      return true;
    }
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw py::error_already_set();
    PyErr_Clear();
    return false;
  }
  PyObject* whole = PyNumber_Index(given.ptr());
  if (whole == nullptr) {
    PyErr_Clear();
    return false;
  }
  const py::int_ owned = py::reinterpret_steal<py::int_>(whole);
  number = PyLong_AsDouble(whole);
  if (number == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    number = owned < py::int_(0) ? -HUGE_VAL : HUGE_VAL;
  }
  return true;
}

}  // namespace

ParameterValues ReadParameterSet(const char* function, const GivenParameters& given,
                                 ParameterValues values, int first) {
  // As Python words a call without them; the seed has its default.
  std::string missing;
  int missingCount = 0;
  for (int i = first; i < ParamSeed; ++i)
    if (given.value[i].is_none()) {
      missing += std::string(missingCount++ ? ", '" : "'") + Parameters[i].name + "'";
    }
  if (missingCount > 0)
    throw py::type_error(std::string(function) + " missing required argument" +
                         (missingCount > 1 ? "s: " : ": ") + missing);
  for (int i = first; i < ParameterCount; ++i) {
    const py::handle value = given.value[i];
    if (!NumberOf(i, value, values.value[i]))
      Refuse(true, {i, ValueVerdict::Malformed}, values, value);
    const ValueVerdict verdict = CheckParameter(i, values.value[i]);
    if (verdict != ValueVerdict::Accepted) Refuse(false, {i, verdict}, values, value);
  }
  const Refusal refusal = CheckParameters(values);
  if (refusal.parameter >= 0) {
    const py::handle shown = given.value[refusal.parameter];
    Refuse(false, refusal, values, shown.is_none() ? py::int_(0) : shown);
  }
  return values;
}

py::int_ WholeArgument(const char* name, const py::handle& value) {
  PyObject* index = PyNumber_Index(value.ptr());
  if (index == nullptr) {
    PyErr_Clear();
    throw py::type_error(std::string(name) + " must be an integer, not " + Shown(value));
  }
  return py::reinterpret_steal<py::int_>(index);
}

std::string Shown(const py::handle& value) {
  std::string text;
  try {
    text = py::repr(value);
  } catch (const py::error_already_set&) {  // an integer past Python's printing limit
    return "a number too long to print";
  }
  if (text.size() <= ShownLimit) return text;
  std::size_t cut = ShownLimit / 2;
  while (cut > 0 && (text[cut] & 0xC0) == 0x80) --cut;  // not inside a UTF-8 character
  return text.substr(0, cut) + "... (" + std::to_string(text.size()) + " characters)";
}

void RaiseValueError(const std::string& message) {
  const py::object text = py::bytes(message).attr("decode")("utf-8", "backslashreplace");
  PyErr_SetObject(PyExc_ValueError, text.ptr());
  throw py::error_already_set();
}

std::string FileNameBytes(const char* name, const py::handle& path) {
  py::object os = py::module_::import("os");
  py::object spelled;
  try {
    spelled = os.attr("fspath")(path);
  } catch (const py::error_already_set& error) {
    if (!error.matches(PyExc_TypeError)) throw;
    throw py::type_error(std::string(name) + " must be a str, bytes or os.PathLike, not " +
                         std::string(py::str(py::type::of(path).attr("__name__"))));
  }
  const std::string bytes = PyBytes_Check(spelled.ptr())
                                ? spelled.cast<std::string>()
                                : os.attr("fsencode")(spelled).cast<std::string>();
  if (bytes.find('\0') != std::string::npos)
    throw py::value_error(std::string(name) + ": embedded null byte");
  return bytes;
}

py::str FileNameShown(const std::string& path) {
  return py::module_::import("os").attr("fsdecode")(py::bytes(path));
}
