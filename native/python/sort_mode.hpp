// The reading-order argument of the text methods: None, a word, or a truth value.
#pragma once

#include "layout.hpp"
#include "py.hpp"

namespace textloom::py {

// "" and "none" -> none, "simple", "xycut", "reading"; any other string raises
// ValueError "unknown sort <quoted>". Any other object: true -> simple,
// false -> none (an exception from its truth test propagates).
// Returns false with an exception set on failure.
bool parse_sort(PyObject* value, SortMode& out);

}  // namespace textloom::py
