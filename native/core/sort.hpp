// The project's one stable sort. Comparators in this codebase treat an
// unordered pair (a NaN) as equal, which is not a strict weak ordering, so the
// standard library's sorts are formally undefined on them and differ between
// implementations. A top-down merge sort that takes from the right run only
// when right < left is well defined for any comparator and gives the same
// order everywhere.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace textloom {

namespace detail {

template <class T, class Less>
void merge_sort_range(T* items, T* scratch, std::size_t n, Less& less) {
  if (n < 2) return;
  const std::size_t mid = n / 2;
  merge_sort_range(items, scratch, mid, less);
  merge_sort_range(items + mid, scratch, n - mid, less);
  // No "already sorted" shortcut: with NaN keys the comparator is not
  // transitive, and skipping the merge would change the result.
  for (std::size_t i = 0; i < mid; ++i) scratch[i] = std::move(items[i]);
  std::size_t left = 0, right = mid, out = 0;
  while (left < mid && right < n) {
    if (less(items[right], scratch[left])) {
      items[out++] = std::move(items[right++]);
    } else {
      items[out++] = std::move(scratch[left++]);
    }
  }
  while (left < mid) items[out++] = std::move(scratch[left++]);
}

}  // namespace detail

// Sorts `items` stably by `less(a, b)` ("a strictly before b").
template <class T, class Less>
void merge_sort(std::vector<T>& items, Less less) {
  if (items.size() < 2) return;
  std::vector<T> scratch(items.size() / 2 + 1);
  detail::merge_sort_range(items.data(), scratch.data(), items.size(), less);
}

}  // namespace textloom
