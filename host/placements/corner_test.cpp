#include "host/placements/corner.hpp"

#include <gtest/gtest.h>

#include "host/placements/placement.hpp"

namespace velto::host::placements {
namespace {

TEST(ParseCorner, KnowsTheFourCornersOnly) {
  EXPECT_EQ(Corner::topRight, parseCorner("top-right"));
  EXPECT_EQ(Corner::topLeft, parseCorner("top-left"));
  EXPECT_EQ(Corner::bottomRight, parseCorner("bottom-right"));
  EXPECT_EQ(Corner::bottomLeft, parseCorner("bottom-left"));
  for (const char* bad : {"", "top", "Top-Right", "top_right", "top-right ", "centre"}) {
    EXPECT_EQ(std::nullopt, parseCorner(bad)) << bad;
  }
}

TEST(CornerName, ReadsBackAsTheSameCorner) {
  for (const Corner corner :
       {Corner::topRight, Corner::topLeft, Corner::bottomRight, Corner::bottomLeft}) {
    EXPECT_EQ(corner, parseCorner(cornerName(corner))) << cornerName(corner);
  }
}

TEST(ParseAppearance, KnowsLightAndDarkOnly) {
  EXPECT_EQ(render::Appearance::light, parseAppearance("light"));
  EXPECT_EQ(render::Appearance::dark, parseAppearance("dark"));
  EXPECT_EQ("light", appearanceName(render::Appearance::light));
  EXPECT_EQ("dark", appearanceName(render::Appearance::dark));
  for (const char* bad : {"", "Dark", "auto", "dark "}) {
    EXPECT_EQ(std::nullopt, parseAppearance(bad)) << bad;
  }
}

TEST(PlacementNameProblem, AcceptsPlainNamesOnly) {
  struct Case {
    std::string name;
    bool good;
  };
  const Case cases[] = {
      {"main", true}, {"left bottom", true}, {"Ünïcode", true},   {"a.b-c_d", true}, {"", false},
      {"   ", false}, {" main", false},      {"main\t", false},   {"a@b", false},    {"a]b", false},
      {"a[b", false}, {"tab\x01", false},    {"\xff\xfe", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.good, !placementNameProblem(c.name).has_value()) << c.name;
  }
}

}  // namespace
}  // namespace velto::host::placements
