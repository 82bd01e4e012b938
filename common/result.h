#pragma once

// What our own checks and plans give back (sizes, options, room, batches,
// the name and size of a job): a value, or the one line that says why there
// is none. The members that follow the window's conventions keep their
// booleans, boxes and StopFlag.

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace torvane {

// Why a step refused, for the user.
struct Refusal {
  std::string why;
};
[[nodiscard]] inline Refusal Refuse(std::string why) { return {std::move(why)}; }

template <class T = std::monostate>
class [[nodiscard]] Result {
 public:
  Result() requires std::is_default_constructible_v<T>
  = default;
  Result(T value) : state_(std::move(value)) {}  // NOLINT: a value converts
  Result(Refusal refusal) : state_(std::move(refusal)) {}

  [[nodiscard]] bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  // The value; only when ok().
  const T& operator*() const { return std::get<0>(state_); }
  T& operator*() { return std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  // Why not; "" when ok().
  [[nodiscard]] const std::string& error() const {
    static const std::string none;
    return ok() ? none : std::get<1>(state_).why;
  }

 private:
  std::variant<T, Refusal> state_;
};

}  // namespace torvane
