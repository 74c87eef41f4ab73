#include "arguments.h"

#include <cmath>

void RefuseValue(const std::string& message) { throw py::value_error(message); }

namespace {

std::string Quoted(const char* name) { return std::string("'") + name + "'"; }

std::string QuotedList(const std::vector<const char*>& names) {
  std::string text;
  for (const char* name : names) text += (text.empty() ? "" : ", ") + Quoted(name);
  return text;
}

}  // namespace

std::vector<py::object> BindArguments(const Signature& signature, const py::args& args,
                                      const py::kwargs& kwargs) {
  const std::string function = signature.function;
  const std::size_t positional = signature.positional.size();
  if (args.size() > positional)
    throw py::type_error(function + " takes " + std::to_string(positional) +
                         " positional arguments but " + std::to_string(args.size()) +
                         " were given");
  std::vector<const char*> names = signature.positional;
  names.insert(names.end(), signature.keywordOnly.begin(), signature.keywordOnly.end());
  std::vector<py::object> values(names.size());
  for (std::size_t i = 0; i < args.size(); ++i) values[i] = args[i];
  for (const auto& [key, value] : kwargs) {
    const std::string keyword = py::str(key);
    std::size_t i = 0;
    while (i < names.size() && keyword != names[i]) ++i;
    if (i == names.size())
      throw py::type_error(function + " got an unexpected keyword argument '" + keyword + "'");
    if (values[i])
      throw py::type_error(function + " got multiple values for argument '" + keyword + "'");
    values[i] = py::reinterpret_borrow<py::object>(value);
  }
  std::vector<const char*> missing;
  for (int i = 0; i < signature.required; ++i)
    if (!values[i]) missing.push_back(names[i]);
  if (!missing.empty())
    throw py::type_error(function + " missing required argument" + (missing.size() > 1 ? "s" : "") +
                         ": " + QuotedList(missing));
  return values;
}

// Longest repr shown whole in a message; a longer one is cut.
constexpr std::size_t ShownLimit = 60;

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

py::int_ WholeArgument(const char* name, const py::handle& value) {
  PyObject* index = PyNumber_Index(value.ptr());
  if (index == nullptr) {
    PyErr_Clear();
    throw py::type_error(std::string(name) + " must be an integer, not " + Shown(value));
  }
  return py::reinterpret_steal<py::int_>(index);
}

long long WholeInRange(const char* name, const py::handle& value, long long low, long long high) {
  const py::int_ whole = WholeArgument(name, value);
  if (whole < py::int_(low) || py::int_(high) < whole)
    RefuseValue(std::string(name) + " must be an integer from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not " + Shown(whole));
  return whole.cast<long long>();
}

double NumberArgument(const char* name, const py::handle& value) {
  const bool text = PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr());
  const double number = text ? -1.0 : PyFloat_AsDouble(value.ptr());
  if (!text && !(number == -1.0 && PyErr_Occurred())) return number;
  const bool tooLarge = !text && PyErr_ExceptionMatches(PyExc_OverflowError);
  PyErr_Clear();
  if (tooLarge) return HUGE_VAL;  // an integer past any double: out of every range
  throw py::type_error(std::string(name) + " must be a number, not " + Shown(value));
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
    RefuseValue(std::string(name) + ": embedded null byte");
  return bytes;
}

py::str FileNameShown(const std::string& path) {
  return py::module_::import("os").attr("fsdecode")(py::bytes(path));
}
