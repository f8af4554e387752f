// The TextMap type: a page's laid-out text kept for search and provenance,
// so one layout answers every range, fold and query asked of it.
#pragma once

#include "py.hpp"
#include "text_map.hpp"

namespace textloom::py {

// Creates the TextMap heap type (not constructible from Python).
PyTypeObject* make_text_map_type();

// A new TextMap owning `map`, or null with an exception set.
PyObject* new_text_map(TextMap&& map);

}  // namespace textloom::py
