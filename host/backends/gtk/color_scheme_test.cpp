#include "host/backends/gtk/color_scheme.hpp"

#include <gtest/gtest.h>

namespace velto::host::gtk {
namespace {

using render::Appearance;

/// Takes the floating reference so each case frees its value.
struct Value {
  explicit Value(GVariant* v) : value(g_variant_ref_sink(v)) {}
  ~Value() { g_variant_unref(value); }
  GVariant* value;
};

TEST(AppearanceFromColorScheme, PortalNumbers) {
  EXPECT_EQ(Appearance::dark, appearanceFromColorScheme(Value(g_variant_new_uint32(1)).value));
  EXPECT_EQ(Appearance::light, appearanceFromColorScheme(Value(g_variant_new_uint32(2)).value));
  EXPECT_EQ(std::nullopt, appearanceFromColorScheme(Value(g_variant_new_uint32(0)).value));
  EXPECT_EQ(std::nullopt, appearanceFromColorScheme(Value(g_variant_new_uint32(3)).value));
  EXPECT_EQ(std::nullopt, appearanceFromColorScheme(Value(g_variant_new_uint32(0xFFFFFFFF)).value));
}

TEST(AppearanceFromColorScheme, UnwrapsTheVariantsOfReadAndReadOne) {
  // ReadOne and SettingChanged hand over v; the older Read hands over v inside v.
  Value once(g_variant_new_variant(g_variant_new_uint32(1)));
  EXPECT_EQ(Appearance::dark, appearanceFromColorScheme(once.value));
  Value twice(g_variant_new_variant(g_variant_new_variant(g_variant_new_uint32(2))));
  EXPECT_EQ(Appearance::light, appearanceFromColorScheme(twice.value));
}

TEST(AppearanceFromColorScheme, OtherTypesAskForNothing) {
  EXPECT_EQ(std::nullopt, appearanceFromColorScheme(nullptr));
  EXPECT_EQ(std::nullopt, appearanceFromColorScheme(Value(g_variant_new_int32(1)).value));
  EXPECT_EQ(std::nullopt, appearanceFromColorScheme(Value(g_variant_new_string("dark")).value));
  EXPECT_EQ(std::nullopt, appearanceFromColorScheme(Value(g_variant_new_boolean(TRUE)).value));
  // Nested deeper than any portal sends.
  GVariant* deep = g_variant_new_uint32(1);
  for (int i = 0; i < 10; ++i) {
    deep = g_variant_new_variant(deep);
  }
  EXPECT_EQ(std::nullopt, appearanceFromColorScheme(Value(deep).value));
}

TEST(AppearanceFromGtkSettings, PreferenceOrThemeName) {
  struct Case {
    bool preferDark;
    const char* theme;
    Appearance expected;
  };
  const Case cases[] = {
      {false, "Adwaita", Appearance::light},
      {true, "Adwaita", Appearance::dark},
      {false, "Adwaita-dark", Appearance::dark},
      {false, "Breeze:dark", Appearance::dark},
      {false, "Arc-Dark", Appearance::dark},
      {false, "Darkroom", Appearance::light},
      {false, "", Appearance::light},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, appearanceFromGtkSettings(c.preferDark, c.theme)) << c.theme;
  }
}

}  // namespace
}  // namespace velto::host::gtk
