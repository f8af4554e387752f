// Process-wide objects of the binding, made once when the module is first
// imported: the RsPage type and the interned dictionary keys.
#pragma once

#include "py.hpp"

namespace textloom::py {

struct ModuleState {
  PyTypeObject* page_type = nullptr;  // RsPage
};

// The module's state; filled by PyInit__native before any function runs.
ModuleState& module_state();

}  // namespace textloom::py
