#pragma once

#include <concepts>

namespace velto::host::layout::internal {

/// For one lambda of an exhaustive visitor that serves several alternatives,
/// and only those: `[](const OneOf<A, B> auto& x) { … }`.
template <class T, class... Us>
concept OneOf = (std::same_as<T, Us> || ...);

}  // namespace velto::host::layout::internal
