#include "host/layout/stack_distribution.hpp"

#include <algorithm>

namespace velto::host::layout {

std::vector<double> stackGaps(const std::vector<bool>& isSpacer, std::optional<double> spacing) {
  std::vector<double> gaps(isSpacer.size(), 0.0);
  for (std::size_t i = 1; i < isSpacer.size(); ++i) {
    if (spacing) {
      gaps[i] = *spacing;
    } else if (!isSpacer[i - 1] && !isSpacer[i]) {
      gaps[i] = kDefaultStackSpacing;
    }
  }
  return gaps;
}

StackDistribution distributeStack(const std::vector<bool>& grows, std::optional<double> offered,
                                  double gaps, const ChildLength& lengthOf) {
  const std::size_t count = grows.size();
  StackDistribution d{std::vector<std::optional<double>>(count), std::vector<double>(count, 0.0)};
  const auto serve = [&](std::size_t i, std::optional<double> offer) {
    d.offers[i] = offer;
    d.lengths[i] = lengthOf(i, offer);
    return d.lengths[i];
  };
  if (!offered) {
    for (std::size_t i = 0; i < count; ++i) {
      serve(i, std::nullopt);
    }
    return d;
  }

  std::vector<std::size_t> fixed;
  std::vector<std::size_t> growing;
  std::vector<double> sortKey(count, 0.0);
  double reserved = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    if (grows[i]) {
      growing.push_back(i);
      sortKey[i] = lengthOf(i, 0.0);
      reserved += sortKey[i];
    } else {
      fixed.push_back(i);
      sortKey[i] = lengthOf(i, std::nullopt);
    }
  }

  double remaining = std::max(0.0, *offered - gaps) - reserved;
  std::stable_sort(fixed.begin(), fixed.end(),
                   [&](std::size_t a, std::size_t b) { return sortKey[a] < sortKey[b]; });
  for (std::size_t k = 0; k < fixed.size(); ++k) {
    const double share = std::max(0.0, remaining) / static_cast<double>(fixed.size() - k);
    remaining -= serve(fixed[k], share);
  }

  remaining += reserved;
  std::stable_sort(growing.begin(), growing.end(),
                   [&](std::size_t a, std::size_t b) { return sortKey[a] > sortKey[b]; });
  for (std::size_t k = 0; k < growing.size(); ++k) {
    const double share = std::max(0.0, remaining) / static_cast<double>(growing.size() - k);
    remaining -= serve(growing[k], share);
  }
  return d;
}

}  // namespace velto::host::layout
