// The binding's one argument parser. Each function declares its parameters
// once, as a table of (name, field of an arguments struct, default's text);
// the field's type picks the converter, the struct's member initialisers are
// the defaults, and their text makes the text signature of the docstring.
// parse_args binds positional and keyword arguments with CPython's wording of
// the errors, then converts in table order; a conversion error names the
// argument: "argument 'NAME': ...".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "num.hpp"
#include "py.hpp"

namespace textloom::py {

// Converters, one per field type. Each leaves `out` untouched and returns
// false with an exception set (without the argument prefix) on failure.
bool convert(PyObject* value, bool& out);                        // bool or NumPy bool
bool convert(PyObject* value, std::int32_t& out);
bool convert(PyObject* value, std::uint32_t& out);               // OverflowError text without prefix
bool convert(PyObject* value, std::uint64_t& out);
bool convert(PyObject* value, double& out);
bool convert(PyObject* value, std::optional<double>& out);       // None or a number
bool convert(PyObject* value, std::string& out);                 // str, as UTF-8
bool convert(PyObject* value, std::optional<std::string>& out);  // None or str
bool convert(PyObject* value, std::optional<Rect>& out);         // None or 4-tuple
bool convert(PyObject* value, PyObject*& out);                   // any object, borrowed

template <class Args>
using Field = std::variant<bool Args::*, std::int32_t Args::*, std::uint32_t Args::*,
                           std::uint64_t Args::*, double Args::*,
                           std::optional<double> Args::*, std::string Args::*,
                           std::optional<std::string> Args::*, std::optional<Rect> Args::*,
                           PyObject* Args::*>;

template <class Args>
struct Param {
  const char* name;
  Field<Args> field;
  const char* default_text = nullptr;  // as the text signature shows it; null: required
};

// `function` is the name errors start with: "load_page" for a module
// function, "RsPage.get_text" for a method. Required parameters come first.
template <class Args, std::size_t N>
struct Signature {
  const char* function;
  std::array<Param<Args>, N> params;

  std::size_t n_required() const {
    std::size_t n = 0;
    while (n < N && params[n].default_text == nullptr) ++n;
    return n;
  }
};

// A docstring that starts with the text signature CPython reads: the
// function's own name, its parameters with " =default" text where they have
// one ("$self" first for a method), "--" and an empty line, then `body`.
template <class Args, std::size_t N>
std::string docstring(const Signature<Args, N>& signature, std::string_view body) {
  const std::string_view function = signature.function;
  const std::size_t dot = function.rfind('.');
  std::string out(dot == std::string_view::npos ? function : function.substr(dot + 1));
  out += dot == std::string_view::npos ? "(" : "($self";
  for (std::size_t i = 0; i < N; ++i) {
    if (i != 0 || dot != std::string_view::npos) out += ", ";
    out += signature.params[i].name;
    if (signature.params[i].default_text != nullptr) {
      out += '=';
      out += signature.params[i].default_text;
    }
  }
  out += ")\n--\n\n";
  out += body;
  return out;
}

// Matches `args` and `kwargs` to `names`, filling `slots` with borrowed values
// (null where omitted). Raises TypeError for too many positional arguments,
// an unexpected keyword, a value given twice, or a missing required argument.
bool bind_arguments(const char* function, const char* const* names, std::size_t n,
                    std::size_t n_required, PyObject* args, PyObject* kwargs,
                    PyObject** slots);

// After a failed conversion of argument `name`: puts "argument 'NAME': " in
// front of a TypeError's message, and of an OverflowError's when
// `prefix_overflow` (an unsigned 32-bit value's range error stands alone).
void prefix_argument_error(const char* name, bool prefix_overflow);

template <class Args, std::size_t N>
bool parse_args(const Signature<Args, N>& signature, PyObject* args, PyObject* kwargs,
                Args& out) {
  std::array<const char*, N> names{};
  for (std::size_t i = 0; i < N; ++i) names[i] = signature.params[i].name;
  std::array<PyObject*, N> slots{};
  if (!bind_arguments(signature.function, names.data(), N, signature.n_required(), args,
                      kwargs, slots.data())) {
    return false;
  }
  for (std::size_t i = 0; i < N; ++i) {
    if (slots[i] == nullptr) continue;  // omitted: keep the default
    const bool ok = std::visit([&](auto field) { return convert(slots[i], out.*field); },
                               signature.params[i].field);
    if (!ok) {
      const bool u32 = std::holds_alternative<std::uint32_t Args::*>(signature.params[i].field);
      prefix_argument_error(names[i], !u32);
      return false;
    }
  }
  return true;
}

}  // namespace textloom::py
