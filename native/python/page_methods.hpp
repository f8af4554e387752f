// The method table of RsPage (text output methods).
#pragma once

#include "py.hpp"

namespace textloom::py {

PyMethodDef* page_methods();

}  // namespace textloom::py
