#pragma once

#include <concepts>

namespace velto::host::layout::internal {

/// A visitor made of one lambda per alternative; std::visit fails to compile
/// when an alternative has no match, so a new kind cannot be missed.
template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

/// For one lambda that serves several alternatives, and only those:
/// `[](const OneOf<A, B> auto& x) { … }`.
template <class T, class... Us>
concept OneOf = (std::same_as<T, Us> || ...);

}  // namespace velto::host::layout::internal
