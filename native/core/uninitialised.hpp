// Scratch arrays that skip the zeroing a std::vector would do, for hot paths
// that write every element before reading it.
#pragma once

#include <cstddef>
#include <memory>

namespace textloom {

// An array of n trivially constructible T, left uninitialised (new T[n]
// default-initialises): every element is written before it is read.
template <class T>
std::unique_ptr<T[]> uninitialised(std::size_t n) {
  return std::unique_ptr<T[]>(new T[n]);
}

}  // namespace textloom
