#include "host/render/palette.hpp"

#include <cmath>

#include <gtest/gtest.h>

namespace velto::host::render {
namespace {

using platform::ui::Color;
using platform::ui::SystemColor;

constexpr SystemColor kOpaqueNames[] = {SystemColor::green, SystemColor::orange,
                                        SystemColor::primary, SystemColor::secondary,
                                        SystemColor::windowBackground};

TEST(SystemColor, EveryColourButClearDiffersBetweenLightAndDark) {
  for (const SystemColor name : kOpaqueNames) {
    EXPECT_NE(systemColor(name, Appearance::light), systemColor(name, Appearance::dark))
        << static_cast<int>(name);
  }
  EXPECT_EQ(0.0, systemColor(SystemColor::clear, Appearance::light).alpha);
  EXPECT_EQ(0.0, systemColor(SystemColor::clear, Appearance::dark).alpha);
}

TEST(SystemColor, SecondaryIsAFainterPrimary) {
  for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
    const Rgba primary = systemColor(SystemColor::primary, appearance);
    const Rgba secondary = systemColor(SystemColor::secondary, appearance);
    EXPECT_EQ(primary.red, secondary.red);
    EXPECT_LT(secondary.alpha, primary.alpha * 0.7);
    EXPECT_GT(secondary.alpha, primary.alpha * 0.5);
  }
}

TEST(SystemColor, PrimaryTextStandsOutFromTheWindowBackground) {
  for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
    const Rgba text = systemColor(SystemColor::primary, appearance);
    const Rgba window = systemColor(SystemColor::windowBackground, appearance);
    EXPECT_GT(std::abs(text.red - window.red), 0.7) << static_cast<int>(appearance);
  }
}

TEST(Resolve, OpacityScalesTheAlphaWithinZeroToOne) {
  struct Case {
    double opacity;
    double factor;  // of the system colour's own alpha
  };
  const Case cases[] = {{1.0, 1.0}, {0.22, 0.22}, {0.0, 0.0}, {-3.0, 0.0}, {std::nan(""), 0.0}};
  for (const SystemColor name : kOpaqueNames) {
    for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
      const Rgba base = systemColor(name, appearance);
      for (const Case& c : cases) {
        const Rgba resolved = resolve(Color(name).opacity(c.opacity), appearance);
        EXPECT_DOUBLE_EQ(base.alpha * c.factor, resolved.alpha) << c.opacity;
        EXPECT_EQ(base.red, resolved.red);
      }
      // Every system colour is at least half opaque, so seven times is past full.
      EXPECT_EQ(1.0, resolve(Color(name).opacity(7), appearance).alpha);
    }
  }
}

}  // namespace
}  // namespace velto::host::render
