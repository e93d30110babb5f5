#include "host/app/extension_location.hpp"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace velto::host {
namespace {

using std::filesystem::path;

IsExecutable onlyThese(std::set<path> executables) {
  return [executables = std::move(executables)](const path& candidate) {
    return executables.contains(candidate);
  };
}

TEST(LocateExtension, PrefersTheOneBesideTheHostAsInTheBuildTree) {
  const auto found =
      locateExtension(path("/src/build/dev/bin/velto-widget-host"),
                      onlyThese({"/src/build/dev/bin/velto-widget-extension",
                                 "/src/build/dev/libexec/velto/velto-widget-extension"}));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(path("/src/build/dev/bin/velto-widget-extension"), *found);
}

TEST(LocateExtension, FindsTheInstalledOneInLibexec) {
  const auto found = locateExtension(path("/usr/bin/velto-widget-host"),
                                     onlyThese({"/usr/libexec/velto/velto-widget-extension"}));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(path("/usr/libexec/velto/velto-widget-extension"), *found);
}

TEST(LocateExtension, NamesEveryPlaceItLookedWhenNoneHoldsIt) {
  const auto found = locateExtension(path("/opt/velto/bin/velto-widget-host"), onlyThese({}));
  ASSERT_FALSE(found.has_value());
  EXPECT_NE(std::string::npos, found.error().find("/opt/velto/bin/velto-widget-extension"));
  EXPECT_NE(std::string::npos,
            found.error().find("/opt/velto/libexec/velto/velto-widget-extension"));
}

TEST(LocateExtension, AnOverrideIsTakenAsGivenEvenWhenMissing) {
  const auto found = locateExtension(std::optional<path>("/nowhere/fake-extension"));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(path("/nowhere/fake-extension"), *found);
}

TEST(LocateExtension, TheRunningProgramsLookupSaysWhereItLooked) {
  // Test binaries live in their own folder, with no extension beside or above them.
  const auto program = runningProgram();
  ASSERT_TRUE(program.has_value());
  const auto found = locateExtension(std::optional<path>());
  ASSERT_FALSE(found.has_value());
  EXPECT_NE(std::string::npos,
            found.error().find((program->parent_path() / kExtensionProgram).string()));
}

}  // namespace
}  // namespace velto::host
