// Argument binding and conversion for every function and method of the module.

#include "args.hpp"

#include "errors.hpp"

#include <limits>
#include <string>

namespace textloom::py {

namespace {

std::string type_name(PyObject* value) {
  Ref name = Ref::steal(
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(value)), "__name__"));
  const char* text = name ? PyUnicode_AsUTF8AndSize(name.get(), nullptr) : nullptr;
  if (text == nullptr) {
    PyErr_Clear();
    return "?";
  }
  return text;
}

bool wrong_type(PyObject* value, const char* target) {
  raise(PyExc_TypeError,
        "'" + type_name(value) + "' object cannot be converted to '" + target + "'");
  return false;
}

bool attribute_equals(PyObject* object, const char* attribute, const char* expected) {
  Ref value = Ref::steal(PyObject_GetAttrString(object, attribute));
  if (!value || !PyUnicode_Check(value.get())) {
    PyErr_Clear();
    return false;
  }
  return PyUnicode_CompareWithASCIIString(value.get(), expected) == 0;
}

// numpy.bool_ (numpy.bool since NumPy 2), recognised without importing NumPy.
bool is_numpy_bool(PyObject* value) {
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(value));
  return attribute_equals(type, "__module__", "numpy") &&
         (attribute_equals(type, "__name__", "bool_") ||
          attribute_equals(type, "__name__", "bool"));
}

// 'a', 'a' and 'b', 'a', 'b', and 'c': CPython's list of missing parameters.
std::string quoted_list(const char* const* names, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) {
      if (count > 2) out += ',';
      out += i == count - 1 ? " and " : " ";
    }
    out += '\'';
    out += names[i];
    out += '\'';
  }
  return out;
}

bool raise_type_error(const std::string& message) {
  raise(PyExc_TypeError, message);
  return false;
}

}  // namespace

bool convert(PyObject* value, bool& out) {
  if (value == Py_True || value == Py_False) {
    out = value == Py_True;
    return true;
  }
  if (!is_numpy_bool(value)) return wrong_type(value, "PyBool");
  const int truth = PyObject_IsTrue(value);
  if (truth < 0) return false;
  out = truth != 0;
  return true;
}

bool convert(PyObject* value, std::int32_t& out) {
  const long number = PyLong_AsLong(value);
  if (number == -1 && PyErr_Occurred()) return false;
  if (number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max()) {
    raise(PyExc_OverflowError, "out of range integral type conversion attempted");
    return false;
  }
  out = static_cast<std::int32_t>(number);
  return true;
}

bool convert(PyObject* value, std::uint32_t& out) {
  const long long number = PyLong_AsLongLong(value);
  if (number == -1 && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return false;
    PyErr_Clear();
  } else if (number >= 0 && number <= 0xFFFFFFFFll) {
    out = static_cast<std::uint32_t>(number);
    return true;
  }
  raise(PyExc_OverflowError, "out of range integral type conversion attempted");
  return false;
}

bool convert(PyObject* value, std::uint64_t& out) {
  Ref index = Ref::steal(PyNumber_Index(value));
  if (!index) return false;
  const unsigned long long number = PyLong_AsUnsignedLongLong(index.get());
  if (number == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
  out = number;
  return true;
}

bool convert(PyObject* value, double& out) {
  const double number = PyFloat_AsDouble(value);
  if (number == -1.0 && PyErr_Occurred()) return false;
  out = number;
  return true;
}

bool convert(PyObject* value, std::optional<double>& out) {
  if (value == Py_None) {
    out.reset();
    return true;
  }
  double number = 0;
  if (!convert(value, number)) return false;
  out = number;
  return true;
}

bool convert(PyObject* value, std::string& out) {
  if (!PyUnicode_Check(value)) return wrong_type(value, "PyString");
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(value, &size);
  if (text == nullptr) return false;
  out.assign(text, static_cast<std::size_t>(size));
  return true;
}

bool convert(PyObject* value, std::optional<std::string>& out) {
  if (value == Py_None) {
    out.reset();
    return true;
  }
  std::string text;
  if (!convert(value, text)) return false;
  out = std::move(text);
  return true;
}

bool convert(PyObject* value, std::optional<Rect>& out) {
  if (value == Py_None) {
    out.reset();
    return true;
  }
  if (!PyTuple_Check(value)) return wrong_type(value, "PyTuple");
  const Py_ssize_t length = PyTuple_Size(value);
  if (length != 4) {
    raise(PyExc_ValueError,
          "expected tuple of length 4, but got tuple of length " + std::to_string(length));
    return false;
  }
  double v[4];
  for (Py_ssize_t i = 0; i < 4; ++i) {
    if (!convert(PyTuple_GetItem(value, i), v[i])) return false;
  }
  out = Rect{v[0], v[1], v[2], v[3]};
  return true;
}

bool convert(PyObject* value, PyObject*& out) {
  out = value;
  return true;
}

bool bind_arguments(const char* function, const char* const* names, std::size_t n,
                    std::size_t n_required, PyObject* args, PyObject* kwargs,
                    PyObject** slots) {
  const std::string prefix = std::string(function) + "()";
  const Py_ssize_t n_positional = args != nullptr ? PyTuple_Size(args) : 0;
  if (n_positional < 0) return false;
  if (static_cast<std::size_t>(n_positional) > n) {
    std::string message = prefix + " takes ";
    if (n_required != n) message += "from " + std::to_string(n_required) + " to ";
    message += std::to_string(n) + " positional arguments but " +
               std::to_string(n_positional) + (n_positional == 1 ? " was" : " were") + " given";
    return raise_type_error(message);
  }
  for (Py_ssize_t i = 0; i < n_positional; ++i) slots[i] = PyTuple_GetItem(args, i);

  if (kwargs != nullptr) {
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      std::size_t j = 0;
      while (j < n && !(PyUnicode_Check(key) &&
                        PyUnicode_CompareWithASCIIString(key, names[j]) == 0)) {
        ++j;
      }
      if (j == n) {
        Ref text = Ref::steal(PyObject_Str(key));
        Py_ssize_t size = 0;
        const char* key_text = text ? PyUnicode_AsUTF8AndSize(text.get(), &size) : nullptr;
        if (key_text == nullptr) return false;
        return raise_type_error(prefix + " got an unexpected keyword argument '" +
                                std::string(key_text, static_cast<std::size_t>(size)) + "'");
      }
      if (slots[j] != nullptr) {
        return raise_type_error(prefix + " got multiple values for argument '" + names[j] + "'");
      }
      slots[j] = value;
    }
  }

  const char* missing[8];
  std::size_t n_missing = 0;
  for (std::size_t i = 0; i < n_required; ++i) {
    if (slots[i] == nullptr && n_missing < 8) missing[n_missing++] = names[i];
  }
  if (n_missing != 0) {
    return raise_type_error(prefix + " missing " + std::to_string(n_missing) +
                            " required positional argument" + (n_missing == 1 ? "" : "s") +
                            ": " + quoted_list(missing, n_missing));
  }
  return true;
}

void prefix_argument_error(const char* name, bool prefix_overflow) {
  PyObject* base = nullptr;
  if (PyErr_ExceptionMatches(PyExc_TypeError)) {
    base = PyExc_TypeError;
  } else if (prefix_overflow && PyErr_ExceptionMatches(PyExc_OverflowError)) {
    base = PyExc_OverflowError;
  } else {
    return;  // other errors (ValueError of a clip's length, ...) keep their text
  }
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  Ref owned_type = Ref::steal(type), owned_value = Ref::steal(value),
      owned_traceback = Ref::steal(traceback);
  Ref text = Ref::steal(owned_value ? PyObject_Str(owned_value.get()) : nullptr);
  Py_ssize_t size = 0;
  const char* detail = text ? PyUnicode_AsUTF8AndSize(text.get(), &size) : nullptr;
  if (detail == nullptr) {
    PyErr_Clear();
    detail = "";
    size = 0;
  }
  raise(base, std::string("argument '") + name + "': " +
                  std::string(detail, static_cast<std::size_t>(size)));
}

}  // namespace textloom::py
