#include "platform/ui/describe.hpp"

#include <limits>
#include <sstream>

#include <gtest/gtest.h>

namespace platform::ui {
namespace {

TEST(Describe, PrintsOneElementOrModifierALine) {
  const View view =
      VStack(HorizontalAlignment::leading, 0,
             {
                 Text::verbatim("Ready \"to\" focus").lineLimit(1),
                 Link(*URL::fromString("velto://stop"), Image::systemName("stop.fill"))
                     .frame(24, 24)
                     .background(Circle().fill(Color::primary().opacity(0.09))),
                 Text::timer(foundation::Date(-1.5)).monospacedDigit(),
             })
          .containerBackground(
              ContainerBackgroundPlacement::widget, Alignment::center,
              ZStack(Alignment::center,
                     {Color::windowBackground(),
                      RadialGradient(Gradient({Color::orange().opacity(0.22), Color::clear()}),
                                     UnitPoint::topTrailing, 0, 240)}));
  EXPECT_EQ(
      "VStack(alignment: .leading, spacing: 0)\n"
      "  Text(verbatim: \"Ready \\\"to\\\" focus\")\n"
      "    .lineLimit(1)\n"
      "  Link(destination: \"velto://stop\")\n"
      "    Image(systemName: \"stop.fill\")\n"
      "    .frame(width: 24, height: 24, alignment: .center)\n"
      "    .background(alignment: .center)\n"
      "      Circle().fill(.primary.opacity(0.09))\n"
      "  Text(timer: -1.5)\n"
      "    .monospacedDigit()\n"
      "  .containerBackground(for: .widget, alignment: .center)\n"
      "    ZStack(alignment: .center)\n"
      "      Color(.windowBackground)\n"
      "      RadialGradient(colors: [.orange.opacity(0.22), .clear], center: (1, 0), "
      "startRadius: 0, endRadius: 240)\n",
      describe(view));
}

TEST(Describe, ShowsValuesThatAnArchiveWouldChange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const View view =
      View(Spacer(std::numeric_limits<double>::infinity())).tracking(nan).lineLimit(0);
  std::ostringstream out;
  out << view;
  EXPECT_EQ("Spacer(minLength: inf)\n  .tracking(nan)\n  .lineLimit(0)\n", out.str());
}

}  // namespace
}  // namespace platform::ui
