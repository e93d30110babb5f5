#include "host/session/host_request.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velto::host::session {
namespace {

std::vector<std::string> manyArguments(std::size_t count) {
  return std::vector<std::string>(count, "x");
}

TEST(CheckedRequest, AcceptsAPlacementAndNothing) {
  const std::vector<std::vector<std::string>> accepted = {
      {},
      {"--family", "medium", "--position", "bottom-left"},
      {"--output", "DP-1 \"left\" \u00e9"},
      manyArguments(kMaxRequestArguments),
  };
  for (const auto& arguments : accepted) {
    const auto request = checkedRequest(arguments);
    ASSERT_TRUE(request.has_value()) << request.error();
    EXPECT_EQ(arguments, request->placementArguments);
  }
}

TEST(CheckedRequest, RefusesWhatNoHostWouldTake) {
  const std::vector<std::vector<std::string>> refused = {
      manyArguments(kMaxRequestArguments + 1),
      {std::string(kMaxRequestBytes, 'a')},
      // Escaping counts: each control byte takes six bytes as text.
      {std::string(kMaxRequestBytes / 4, '\x01')},
      {std::string("a\0b", 3)},
      {"\xff"},
  };
  for (const auto& arguments : refused) {
    EXPECT_FALSE(checkedRequest(arguments).has_value()) << arguments.front().size();
  }
}

TEST(ParseRequestText, ReadsWhatRequestTextWrote) {
  const HostRequest request{{"--family", "large", "--margin", "12", "\"quoted\"\\"}};
  const auto parsed = parseRequestText(requestText(request));
  ASSERT_TRUE(parsed.has_value()) << parsed.error();
  EXPECT_EQ(request, *parsed);
}

TEST(ParseRequestText, RefusesGarbage) {
  const std::vector<std::string> refused = {
      "",
      "not json",
      "{}",
      "\"--family\"",
      "[1]",
      "[[\"a\"]]",
      "[\"a\",]",
      "[\"a\\u0000b\"]",
      "[\"\xff\"]",
      std::string("[\"a\"]\0", 6),
      "[" + std::string(kMaxRequestBytes, ' ') + "]",
      "[\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\",\"a\","
      "\"a\","
      "\"a\"]",
  };
  for (const std::string& text : refused) {
    EXPECT_FALSE(parseRequestText(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace velto::host::session
