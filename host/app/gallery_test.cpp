#include "host/app/gallery.hpp"

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sysexits.h>
#include <unistd.h>

namespace velto::host {
namespace {

using platform::widgets::WidgetFamily;
using Json = nlohmann::json;

const Json kDeclared = Json::parse(R"({"protocolVersion": 1, "widgets": [
  {"kind": "VeltoTimerWidget", "displayName": "Velto Timer",
   "description": "See your active project and control its timer.",
   "supportedFamilies": ["systemSmall", "systemMedium"]},
  {"kind": "Other", "displayName": "Ö", "description": "", "supportedFamilies": []}]})");

TEST(DeclaredWidgets, KeepsEveryWidgetInItsOrder) {
  const auto widgets = declaredWidgets(kDeclared);
  ASSERT_TRUE(widgets.has_value()) << widgets.error();
  ASSERT_EQ(2u, widgets->size());
  EXPECT_EQ("VeltoTimerWidget", (*widgets)[0].kind);
  EXPECT_EQ((std::vector{WidgetFamily::systemSmall, WidgetFamily::systemMedium}),
            (*widgets)[0].supportedFamilies);
  EXPECT_EQ("Other", (*widgets)[1].kind);
}

TEST(DeclaredWidgets, RefusesEachMalformedShapeWithItsReason) {
  const std::vector<std::pair<const char*, const char*>> cases{
      {R"([])", "no widget list"},
      {R"({"widgets": {}})", "no widget list"},
      {R"({"widgets": [7]})", "not an object"},
      {R"({"widgets": [{"displayName": "a", "description": "b", "supportedFamilies": []}]})",
       "'kind'"},
      {R"({"widgets": [{"kind": 1, "displayName": "a", "description": "b",
           "supportedFamilies": []}]})",
       "'kind'"},
      {R"({"widgets": [{"kind": "k", "displayName": "a", "description": "b"}]})",
       "lists no families"},
      {R"({"widgets": [{"kind": "k", "displayName": "a", "description": "b",
           "supportedFamilies": ["systemHuge"]}]})",
       "unknown family"},
  };
  for (const auto& [text, reason] : cases) {
    const auto widgets = declaredWidgets(Json::parse(text));
    ASSERT_FALSE(widgets.has_value()) << text;
    EXPECT_NE(std::string::npos, widgets.error().find(reason)) << widgets.error();
  }
}

TEST(WidgetListing, JsonRoundTripsWhatWasDeclared) {
  const auto widgets = declaredWidgets(kDeclared);
  ASSERT_TRUE(widgets.has_value());
  const Json listed = Json::parse(widgetListing(*widgets, true));
  EXPECT_EQ(kDeclared["widgets"], listed);
}

TEST(WidgetListing, TextNamesTheSizesByTheirShortNames) {
  const auto widgets = declaredWidgets(kDeclared);
  ASSERT_TRUE(widgets.has_value());
  const std::string text = widgetListing(*widgets, false);
  EXPECT_NE(std::string::npos, text.find("VeltoTimerWidget\n  name:        Velto Timer\n"));
  EXPECT_NE(std::string::npos, text.find("  sizes:       small, medium\n"));
}

TEST(WidgetListing, BadUtf8FromTheExtensionDoesNotAbortTheJson) {
  std::vector<WidgetDescription> widgets{{"k\xff", "n", "d", {}}};
  EXPECT_NO_THROW(Json::parse(widgetListing(widgets, true)));
}

TEST(GalleryFileName, KeepsAKindFromLeavingTheFolder) {
  struct Case {
    std::string kind;
    std::string expected;
  };
  const std::vector<Case> cases{
      {"VeltoTimerWidget", "VeltoTimerWidget-small.png"},
      {"../etc/passwd", "_.._etc_passwd-small.png"},
      {"", "_-small.png"},
      {"a b/c", "a_b_c-small.png"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected,
              galleryFileName(c.kind, WidgetFamily::systemSmall, cairo::ImageFormat::png));
  }
  EXPECT_EQ("k-medium.svg",
            galleryFileName("k", WidgetFamily::systemMedium, cairo::ImageFormat::svg));
}

class GalleryRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velto-gallery-XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    root_ = pattern;
    std::filesystem::create_directories(root_ / "out");
    ::setenv("VELTO_REAL_EXTENSION", VELTO_WIDGET_EXTENSION, 1);
    // Nothing of the user's defaults may leak into what the extension reads.
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::filesystem::path script(const std::string& name, const std::string& body) {
    const auto path = root_ / name;
    std::ofstream(path) << "#!/usr/bin/env bash\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
  }

  GalleryRequest request(const std::filesystem::path& extension) const {
    GalleryRequest r;
    r.folder = root_ / "out";
    r.extension = extension;
    r.scale = 1.0;
    return r;
  }

  std::filesystem::path root_;
};

TEST_F(GalleryRun, DrawsEveryDeclaredSizeFromItsPreview) {
  const auto outcome = runGallery(request(VELTO_WIDGET_EXTENSION));
  ASSERT_EQ(EX_OK, outcome.status) << outcome.message;
  ASSERT_EQ(2u, outcome.pictures.size());
  for (const auto& picture : outcome.pictures) {
    EXPECT_FALSE(picture.placeholder);
    EXPECT_GT(std::filesystem::file_size(picture.file), 1000u) << picture.file;
  }
  EXPECT_EQ(root_ / "out" / "VeltoTimerWidget-small.png", outcome.pictures[0].file);
  EXPECT_EQ(root_ / "out" / "VeltoTimerWidget-medium.png", outcome.pictures[1].file);
}

TEST_F(GalleryRun, ShowsThePlaceholderWhereThePreviewNeverCame) {
  // Passes every request to the real extension but answers "snapshot" with an error.
  const auto fake = script("no-preview", R"(
coproc EXT { exec "$VELTO_REAL_EXTENSION"; }
while IFS= read -r line; do
  if [[ $line == *'"snapshot"'* ]]; then
    id=$(sed -E 's/.*"id": *([0-9]+).*/\1/' <<<"$line")
    printf '{"jsonrpc":"2.0","id":%s,"error":{"code":-32603,"message":"no preview"}}\n' "$id"
    continue
  fi
  printf '%s\n' "$line" >&"${EXT[1]}"
  IFS= read -r reply <&"${EXT[0]}"
  printf '%s\n' "$reply"
done
)");
  const auto outcome = runGallery(request(fake));
  ASSERT_EQ(EX_OK, outcome.status) << outcome.message;
  ASSERT_EQ(2u, outcome.pictures.size());
  for (const auto& picture : outcome.pictures) {
    EXPECT_TRUE(picture.placeholder) << picture.file;
    EXPECT_TRUE(std::filesystem::exists(picture.file));
  }
}

TEST_F(GalleryRun, AnExtensionThatDiesLeavesNoPictureBehind) {
  const auto outcome = runGallery(request(script("dies", "exit 3\n")));
  EXPECT_EQ(EX_UNAVAILABLE, outcome.status);
  EXPECT_TRUE(std::filesystem::is_empty(root_ / "out"));
}

TEST_F(GalleryRun, AFolderThatIsNotThereFailsBeforeStartingAnything) {
  auto r = request(VELTO_WIDGET_EXTENSION);
  r.folder = root_ / "missing";
  const auto outcome = runGallery(r);
  EXPECT_EQ(EX_CANTCREAT, outcome.status);
  EXPECT_NE(std::string::npos, outcome.message.find("missing"));
}

}  // namespace
}  // namespace velto::host
