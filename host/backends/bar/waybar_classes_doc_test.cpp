// The man page lists the classes a waybar line can carry; it must name exactly
// those the program prints.

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "host/backends/bar/bar_line.hpp"

namespace velto::host::bar {
namespace {

TEST(WaybarClasses, TheManPageNamesExactlyThoseTheProgramPrints) {
  std::ifstream page(VELTO_HOST_MAN_PAGE);
  ASSERT_TRUE(page) << VELTO_HOST_MAN_PAGE;
  const std::string text((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
  // "_class_ (_running_, ... _links_ while links show)": the italic words inside.
  const auto start = text.find("_class_ (");
  ASSERT_NE(std::string::npos, start) << "the man page does not describe waybar's class";
  const auto end = text.find(')', start);
  ASSERT_NE(std::string::npos, end);
  const std::string list = text.substr(start + 9, end - start - 9);
  std::set<std::string> documented;
  const std::regex italic("_([a-z-]+)_");
  for (auto word = std::sregex_iterator(list.begin(), list.end(), italic);
       word != std::sregex_iterator(); ++word) {
    documented.insert((*word)[1]);
  }
  const std::set<std::string> printed(kWaybarClasses.begin(), kWaybarClasses.end());
  EXPECT_EQ(printed, documented);
}

}  // namespace
}  // namespace velto::host::bar
