#pragma once

namespace platform::foundation {

/// A visitor made of one lambda per alternative, so `std::visit` fails to compile
/// when a variant gains an alternative that no lambda takes.
template <class... Ts>
struct overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
overloaded(Ts...) -> overloaded<Ts...>;

}  // namespace platform::foundation
