// Value-or-error result of the core's fallible operations (loading PDFium,
// extracting a page). The core never throws across its boundary; the binding
// turns the error text into a Python exception.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace textloom {

struct Error {
  std::string text;  // the message shown to the caller, as is
};

template <class T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}          // NOLINT: implicit by design
  Result(Error error) : state_(std::move(error)) {}      // NOLINT: implicit by design

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const T& value() const& { return std::get<0>(state_); }
  const std::string& error() const { return std::get<1>(state_).text; }

 private:
  std::variant<T, Error> state_;
};

}  // namespace textloom
