#pragma once

// `Expected<T, E>` is std::expected where the standard library offers it (g++ 12)
// and a small stand-in with the same surface where it does not (clang 14 cannot
// compile libstdc++'s <expected>, and the fuzz targets are built with clang).

#include <version>

#if defined(__cpp_lib_expected)
#include <expected>

namespace platform::foundation {
template <class T, class E>
using Expected = std::expected<T, E>;
template <class E>
using Unexpected = std::unexpected<E>;
}  // namespace platform::foundation

#else
#include <type_traits>
#include <utility>
#include <variant>

namespace platform::foundation {

template <class E>
class Unexpected {
 public:
  explicit constexpr Unexpected(E error) : error_(std::move(error)) {}
  constexpr const E& error() const& noexcept { return error_; }
  constexpr E&& error() && noexcept { return std::move(error_); }

 private:
  E error_;
};

template <class E>
Unexpected(E) -> Unexpected<E>;

template <class T, class E>
class Expected {
 public:
  using value_type = T;
  using error_type = E;

  constexpr Expected()
    requires std::is_default_constructible_v<T>
      : rep_(std::in_place_index<0>) {}
  template <class U = T>
    requires std::is_constructible_v<T, U&&> &&
             (!std::is_same_v<std::remove_cvref_t<U>, Expected>) &&
             (!std::is_same_v<std::remove_cvref_t<U>, Unexpected<E>>)
  constexpr Expected(U&& value) : rep_(std::in_place_index<0>, std::forward<U>(value)) {}
  template <class G>
  constexpr Expected(const Unexpected<G>& u) : rep_(std::in_place_index<1>, u.error()) {}
  template <class G>
  constexpr Expected(Unexpected<G>&& u) : rep_(std::in_place_index<1>, std::move(u).error()) {}

  constexpr bool has_value() const noexcept { return rep_.index() == 0; }
  constexpr explicit operator bool() const noexcept { return has_value(); }

  constexpr T& value() & { return std::get<0>(rep_); }
  constexpr const T& value() const& { return std::get<0>(rep_); }
  constexpr T&& value() && { return std::get<0>(std::move(rep_)); }
  constexpr T& operator*() & { return std::get<0>(rep_); }
  constexpr const T& operator*() const& { return std::get<0>(rep_); }
  constexpr T&& operator*() && { return std::get<0>(std::move(rep_)); }
  constexpr T* operator->() { return &std::get<0>(rep_); }
  constexpr const T* operator->() const { return &std::get<0>(rep_); }

  constexpr const E& error() const& { return std::get<1>(rep_); }
  constexpr E&& error() && { return std::get<1>(std::move(rep_)); }

  template <class U>
  constexpr T value_or(U&& fallback) const& {
    return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
  }

 private:
  std::variant<T, E> rep_;
};

// Expected<void, E>: success carries nothing.
template <class E>
class Expected<void, E> {
 public:
  using value_type = void;
  using error_type = E;

  constexpr Expected() = default;
  template <class G>
  constexpr Expected(const Unexpected<G>& u) : error_(u.error()), failed_(true) {}
  template <class G>
  constexpr Expected(Unexpected<G>&& u) : error_(std::move(u).error()), failed_(true) {}

  constexpr bool has_value() const noexcept { return !failed_; }
  constexpr explicit operator bool() const noexcept { return has_value(); }
  constexpr void value() const {}
  constexpr void operator*() const noexcept {}
  constexpr const E& error() const& { return error_; }

 private:
  E error_{};
  bool failed_ = false;
};

}  // namespace platform::foundation
#endif
