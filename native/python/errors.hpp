// The binding's one way to raise: every error text (core errors included, which
// may hold any byte, NUL too) becomes a Python exception here.
#pragma once

#include <string_view>

#include "py.hpp"

namespace textloom::py {

// Sets `type` with `message` (UTF-8, invalid bytes replaced); returns null so
// callers can `return raise(...)`.
PyObject* raise(PyObject* type, std::string_view message);

}  // namespace textloom::py
