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

// Merges the sorted runs items[0, mid) and items[mid, n), taking from the
// right run only when right < left.
template <class T, class Less>
void merge_halves(T* items, T* scratch, std::size_t mid, std::size_t n, Less& less) {
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

template <class T, class Less>
void merge_sort_range(T* items, T* scratch, std::size_t n, Less& less) {
  if (n < 2) return;
  const std::size_t mid = n / 2;
  merge_sort_range(items, scratch, mid, less);
  merge_sort_range(items + mid, scratch, n - mid, less);
  // No "already sorted" shortcut: with NaN keys the comparator is not
  // transitive, and skipping the merge would change the result.
  merge_halves(items, scratch, mid, n, less);
}

template <class T, class Less>
void sort_ordered_range(T* items, T* scratch, std::size_t n, Less& less) {
  if (n <= 16) {
    for (std::size_t i = 1; i < n; ++i) {
      if (!less(items[i], items[i - 1])) continue;
      T moving = std::move(items[i]);
      std::size_t j = i;
      do {
        items[j] = std::move(items[j - 1]);
        --j;
      } while (j > 0 && less(moving, items[j - 1]));
      items[j] = std::move(moving);
    }
    return;
  }
  const std::size_t mid = n / 2;
  sort_ordered_range(items, scratch, mid, less);
  sort_ordered_range(items + mid, scratch, n - mid, less);
  if (!less(items[mid], items[mid - 1])) return;  // the halves are already in order
  merge_halves(items, scratch, mid, n, less);
}

}  // namespace detail

// Sorts `items` stably by `less(a, b)` ("a strictly before b").
template <class T, class Less>
void merge_sort(std::vector<T>& items, Less less) {
  if (items.size() < 2) return;
  std::vector<T> scratch(items.size() / 2 + 1);
  detail::merge_sort_range(items.data(), scratch.data(), items.size(), less);
}

// merge_sort of items[0, n) with scratch space lent by the caller (at least
// n / 2 + 1 elements), for callers that sort many short ranges.
template <class T, class Less>
void merge_sort(T* items, std::size_t n, T* scratch, Less less) {
  detail::merge_sort_range(items, scratch, n, less);
}

// The same order as merge_sort, faster, for a comparator that is a strict weak
// ordering on these items (number keys known to hold no NaN): a stable sort
// under such an ordering has only one possible result, whatever its method,
// so short runs are sorted by insertion and halves already in order skip
// their merge. On keys that may be NaN use merge_sort: there the method
// decides the result. `scratch` holds at least n / 2 + 1 elements.
template <class T, class Less>
void sort_ordered(T* items, std::size_t n, T* scratch, Less less) {
  detail::sort_ordered_range(items, scratch, n, less);
}

// Stable sort of keys that may hold NaN: merge_sort's order, which is the
// only one defined then, taken by the quicker sort_ordered when the caller
// knows that no key is NaN (`nan_keys` false), since without NaN the keys are
// totally ordered and every stable sort agrees. `scratch` as for both.
template <class T, class Less>
void sort_maybe_nan(T* items, std::size_t n, T* scratch, bool nan_keys, Less less) {
  if (n < 2) return;
  if (nan_keys) {
    merge_sort(items, n, scratch, less);
  } else {
    sort_ordered(items, n, scratch, less);
  }
}

}  // namespace textloom
