// The caller's table of folds (a dict of one-character str to str: Python's
// own NFKC, case and accent folds, kept per process by the package), read by
// the core's folding of page text for search.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "py.hpp"
#include "search_fold.hpp"

namespace textloom::py {

class FoldTable {
 public:
  // `folds` must be a dict (see is_fold_table).
  explicit FoldTable(PyObject* folds) : folds_(folds) {}
  // The fold of `cp`, or nullopt where the table lacks it. After a failure
  // (a value that is not a str), failed() is true with the error set, and
  // every later call returns an empty fold.
  std::optional<std::string_view> operator()(std::uint32_t cp);
  bool failed() const { return failed_; }

 private:
  // The folds looked up so far, by code point modulo the size: a page repeats
  // the few characters beyond ASCII it has. A view stays valid while the
  // table's str value lives, which is the whole call.
  struct Seen {
    std::uint32_t cp = 0;  // 0: empty (NUL is ASCII and never asked)
    std::string_view fold;
  };
  std::array<Seen, 64> seen_{};
  PyObject* folds_;
  bool failed_ = false;
};

// True for a dict; otherwise false with TypeError "argument 'folds': must be dict".
bool is_fold_table(PyObject* folds);

// The characters a table lacks, as one str (a result no call gives otherwise).
PyObject* missing_chars(const std::vector<std::uint32_t>& missing);

// `text` as a str.
PyObject* str_of_code_points(std::u32string_view text);

// fold_text's result: (folded str, int32 origin bytes), or the missing characters.
PyObject* folded_result(const FoldedText& folded);

}  // namespace textloom::py
