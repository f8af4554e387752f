// The table of folds a search reads for the characters beyond ASCII: a
// Python object (FoldTable) the package fills with Python's own NFKC, case
// and accent folds as characters are met, one table per set of options.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "fold_map.hpp"
#include "py.hpp"
#include "search_fold.hpp"

namespace textloom::py {

// Creates the FoldTable heap type.
PyTypeObject* make_fold_table_type();

// True for a FoldTable; otherwise false with TypeError
// "argument 'folds': must be FoldTable".
bool is_fold_table(PyObject* folds);

// The folds of a FoldTable (see is_fold_table).
const FoldMap& fold_map(PyObject* folds);

// The characters a table lacks, as one str (a result no call gives otherwise).
PyObject* missing_chars(const std::vector<std::uint32_t>& missing);

// `text` as a str.
PyObject* str_of_code_points(std::u32string_view text);

// fold_text's result: (folded str, int32 origin bytes), or the missing characters.
PyObject* folded_result(const FoldedText& folded);

}  // namespace textloom::py
