#pragma once

#include <cassert>
#include <memory>
#include <utility>

namespace platform::ui {

/// One value of type T held on the heap, with value semantics: copies are deep,
/// equality compares the held values. It lets a tree type hold a child of its
/// own type while staying a plain copyable value with no shared ownership.
///
/// A moved-from Box holds nothing (`valuelessAfterMove()`); it may be assigned
/// to, copied or destroyed, and compares equal only to another empty Box.
template <class T>
class Box {
 public:
  // Implicit, so that a child value can be passed where its box is stored.
  Box(T value) : value_(std::make_unique<T>(std::move(value))) {}

  Box(const Box& other) : value_(other.value_ ? std::make_unique<T>(*other.value_) : nullptr) {}
  Box(Box&&) noexcept = default;
  Box& operator=(const Box& other) {
    if (this != &other) {
      value_ = other.value_ ? std::make_unique<T>(*other.value_) : nullptr;
    }
    return *this;
  }
  Box& operator=(Box&&) noexcept = default;
  ~Box() = default;

  const T& operator*() const {
    assert(value_ && "Box read after move");
    return *value_;
  }
  T& operator*() {
    assert(value_ && "Box read after move");
    return *value_;
  }
  const T* operator->() const { return &**this; }
  T* operator->() { return &**this; }

  bool valuelessAfterMove() const { return value_ == nullptr; }

  friend bool operator==(const Box& a, const Box& b) {
    if (!a.value_ || !b.value_) {
      return a.value_ == b.value_;
    }
    return *a.value_ == *b.value_;
  }

 private:
  std::unique_ptr<T> value_;
};

}  // namespace platform::ui
