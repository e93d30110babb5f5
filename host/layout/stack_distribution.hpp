#pragma once

// How a stack shares its length among its children.

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace velto::host::layout {

/// A gap between neighbours in a stack that gives no spacing of its own.
inline constexpr double kDefaultStackSpacing = 8.0;

/// The gap before each child of a stack (0 before the first): `spacing` between
/// every pair when given; else kDefaultStackSpacing, and none next to a spacer,
/// whose own minimum length keeps the distance.
std::vector<double> stackGaps(const std::vector<bool>& isSpacer, std::optional<double> spacing);

/// What each child of a stack is offered along its axis, and the length it takes.
struct StackDistribution {
  std::vector<std::optional<double>> offers;
  std::vector<double> lengths;
};

/// A child's length along the stack for an offer (empty: its ideal length).
using ChildLength = std::function<double(std::size_t child, std::optional<double> offer)>;

/// Shares `offered` (nothing: every child takes its ideal) among children of
/// which those marked in `grows` grow with their offer:
/// 1. Take the gaps off the offered length.
/// 2. Set aside the growing children's minimum lengths.
/// 3. Serve the fixed children, smallest ideal first, each an equal share of
///    what is left.
/// 4. Share the rest equally among the growing children, the ones with the
///    largest minimum first so that a minimum never eats another's share.
StackDistribution distributeStack(const std::vector<bool>& grows, std::optional<double> offered,
                                  double gaps, const ChildLength& lengthOf);

}  // namespace velto::host::layout
