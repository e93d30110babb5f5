#include "host/layout/stack_distribution.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

namespace velto::host::layout {
namespace {

TEST(StackGaps, DefaultGapsSkipSpacersAndExplicitSpacingDoesNot) {
  struct Case {
    const char* name;
    std::vector<bool> isSpacer;
    std::optional<double> spacing;
    std::vector<double> gaps;
  };
  const double d = kDefaultStackSpacing;
  const Case cases[] = {
      {"none", {}, std::nullopt, {}},
      {"one child", {false}, std::nullopt, {0}},
      {"default", {false, false, false}, std::nullopt, {0, d, d}},
      {"beside a spacer", {false, true, false}, std::nullopt, {0, 0, 0}},
      {"two spacers", {true, true}, std::nullopt, {0, 0}},
      {"explicit", {false, true, false}, 3.0, {0, 3, 3}},
      {"explicit zero", {false, false}, 0.0, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.gaps, stackGaps(c.isSpacer, c.spacing)) << c.name;
  }
}

/// A child that wants `ideal` and takes at most what it is offered, or one
/// that grows to its offer from `ideal` up.
struct Child {
  bool grows;
  double ideal;

  double length(std::optional<double> offer) const {
    if (!offer) {
      return ideal;
    }
    return grows ? std::max(ideal, *offer) : std::min(ideal, *offer);
  }
};

std::vector<double> lengths(const std::vector<Child>& children, std::optional<double> offered,
                            double gaps) {
  std::vector<bool> grows;
  for (const Child& child : children) {
    grows.push_back(child.grows);
  }
  return distributeStack(
             grows, offered, gaps,
             [&](std::size_t i, std::optional<double> offer) { return children[i].length(offer); })
      .lengths;
}

TEST(DistributeStack, SharesTheLengthAsTheRulesSay) {
  struct Case {
    const char* name;
    std::vector<Child> children;
    std::optional<double> offered;
    double gaps;
    std::vector<double> lengths;
  };
  const Case cases[] = {
      {"ideal when nothing is offered", {{false, 30}, {true, 8}}, std::nullopt, 0, {30, 8}},
      {"spacers share the rest equally", {{true, 0}, {false, 20}, {true, 0}}, 100, 0, {40, 20, 40}},
      {"gaps come off first", {{false, 20}, {true, 0}}, 100, 10, {20, 70}},
      {"a spacer keeps its minimum", {{true, 50}, {true, 0}}, 80, 0, {50, 30}},
      {"the smaller fixed child keeps its ideal", {{false, 150}, {false, 30}}, 120, 0, {90, 30}},
      {"fixed children leave the spacers' minimums", {{false, 200}, {true, 8}}, 100, 0, {92, 8}},
      {"nothing left", {{false, 50}, {true, 0}}, 0, 10, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.lengths, lengths(c.children, c.offered, c.gaps)) << c.name;
  }
}

}  // namespace
}  // namespace velto::host::layout
