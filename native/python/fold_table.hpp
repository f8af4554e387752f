// The table of folds a search reads for the characters beyond ASCII: a
// Python object (FoldTable) the package fills with Python's own NFKC, case
// and accent folds as characters are met, one table per set of options, and
// the reader the core's folding of page text asks.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "py.hpp"
#include "search_fold.hpp"

namespace textloom::py {

// Creates the FoldTable heap type.
PyTypeObject* make_fold_table_type();

// True for a FoldTable; otherwise false with TypeError
// "argument 'folds': must be FoldTable".
bool is_fold_table(PyObject* folds);

// A table's folds (UTF-8) by code point.
using FoldMap = std::unordered_map<std::uint32_t, std::string>;

// The folds of a FoldTable (see is_fold_table).
const FoldMap& fold_map(PyObject* folds);

// A FoldTable read for one call, which must not change it meanwhile.
class FoldLookup {
 public:
  explicit FoldLookup(const FoldMap& folds) : folds_(&folds) {}
  // The fold of `cp` (UTF-8), or nullopt where the table lacks it.
  std::optional<std::string_view> operator()(std::uint32_t cp);

 private:
  // The folds looked up so far, by code point modulo the size: a page
  // repeats the few characters beyond ASCII it has.
  struct Seen {
    std::uint32_t cp = 0;  // 0: empty (NUL is ASCII and never asked)
    std::string_view fold;
  };
  std::array<Seen, 64> seen_{};
  const FoldMap* folds_;
};

// The characters a table lacks, as one str (a result no call gives otherwise).
PyObject* missing_chars(const std::vector<std::uint32_t>& missing);

// `text` as a str.
PyObject* str_of_code_points(std::u32string_view text);

// fold_text's result: (folded str, int32 origin bytes), or the missing characters.
PyObject* folded_result(const FoldedText& folded);

}  // namespace textloom::py
