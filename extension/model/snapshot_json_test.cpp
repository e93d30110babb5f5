#include "extension/model/snapshot_json.hpp"

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extension/model/model_test_support.hpp"

namespace velto::model {
namespace {

using namespace std::string_literals;
using platform::foundation::Date;
using Kind = SnapshotDecodingError::Kind;
using State = SharedTimerSnapshot::State;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// A valid object around `members`, which come first and may repeat or override the defaults.
std::string withMembers(const std::string& members) {
  return "{" + members + R"("state":"paused","elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})";
}

SharedTimerSnapshot paused(std::optional<std::string> name = std::nullopt) {
  return SharedTimerSnapshot(State::paused, std::move(name), 1.0, 2.0, Date(3.0));
}

TEST(DecodeSnapshot, ReadsWellFormedObjects) {
  const struct {
    const char* name;
    std::string text;
    SharedTimerSnapshot expected;
  } cases[] = {
      {"running with every key",
       R"({"state":"running","projectName":"Deep work","elapsedSeconds":1500.5,)"
       R"("todaySeconds":7200.25,"updatedAt":786000000.125})",
       SharedTimerSnapshot(State::running, "Deep work", 1500.5, 7200.25, Date(786000000.125))},
      {"stopped", R"({"state":"stopped","elapsedSeconds":0,"todaySeconds":0,"updatedAt":0})",
       SharedTimerSnapshot(State::stopped, std::nullopt, 0.0, 0.0, Date(0.0))},
      {"keys in another order",
       R"({"updatedAt":3,"todaySeconds":2,"projectName":"p","elapsedSeconds":1,"state":"paused"})",
       paused("p")},
      {"projectName missing", withMembers(""), paused()},
      {"projectName null", withMembers(R"("projectName":null,)"), paused()},
      {"projectName empty", withMembers(R"("projectName":"",)"), paused("")},
      {"escaped NUL kept in the name", withMembers(R"("projectName":"a\u0000b",)"),
       paused("a\0b"s)},
      {"escapes and non-ASCII text",
       withMembers(R"("projectName":"Caf\u00e9 \"Q\" \ud83d\ude00",)"),
       paused("Caf\xC3\xA9 \"Q\" \xF0\x9F\x98\x80")},
      {"raw UTF-8 in the name", withMembers("\"projectName\":\"\xE6\x97\xA5\xE6\x9C\xAC\","),
       paused("\xE6\x97\xA5\xE6\x9C\xAC")},
      {"integer 60 reads as 60.0",
       R"({"state":"running","elapsedSeconds":60,"todaySeconds":-7,"updatedAt":1})",
       SharedTimerSnapshot(State::running, std::nullopt, 60.0, -7.0, Date(1.0))},
      {"exponents and fractions",
       R"({"state":"running","elapsedSeconds":1.5E3,"todaySeconds":25e-1,"updatedAt":-0.5})",
       SharedTimerSnapshot(State::running, std::nullopt, 1500.0, 2.5, Date(-0.5))},
      {"updatedAt before the reference date",
       R"({"state":"stopped","elapsedSeconds":0,"todaySeconds":0,"updatedAt":-978307200})",
       SharedTimerSnapshot(State::stopped, std::nullopt, 0.0, 0.0, Date::fromUnixSeconds(0.0))},
      {"integers past 64 bits read as the nearest double",
       R"({"state":"stopped","elapsedSeconds":18446744073709551616,)"
       R"("todaySeconds":-9223372036854775809,"updatedAt":123456789012345678901234567890})",
       SharedTimerSnapshot(State::stopped, std::nullopt, 18446744073709551616.0,
                           -9223372036854775808.0, Date(123456789012345678901234567890.0))},
      {"largest 64-bit integers",
       R"({"state":"stopped","elapsedSeconds":18446744073709551615,)"
       R"("todaySeconds":-9223372036854775808,"updatedAt":9007199254740993})",
       SharedTimerSnapshot(State::stopped, std::nullopt, 18446744073709551616.0,
                           -9223372036854775808.0, Date(9007199254740992.0))},
      {"extra keys of every type",
       withMembers(R"("extra":[1,{"state":"bogus","updatedAt":"x"}],"n":null,"b":true,"o":{},)"),
       paused()},
      {"the five keys nested in an extra key do not count",
       R"({"x":{"state":"running","projectName":"inner","elapsedSeconds":9,"todaySeconds":9,)"
       R"("updatedAt":9},"state":"paused","elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})",
       paused()},
      {"an extra key repeated", withMembers(R"("x":1,"x":[2],)"), paused()},
      {"keys differing in case are extra keys", withMembers(R"("State":"bogus","UpdatedAt":"x",)"),
       paused()},
      {"leading byte-order mark", "\xEF\xBB\xBF" + withMembers(""), paused()},
      {"whitespace around and inside", " \t\r\n" + withMembers(R"( "projectName" : "w" , )") + "\n",
       paused("w")},
  };
  for (const auto& c : cases) {
    const auto fromText = decodeSnapshot(std::string_view(c.text));
    ASSERT_TRUE(fromText.has_value()) << c.name << ": " << testing::PrintToString(fromText.error());
    EXPECT_EQ(c.expected, *fromText) << c.name;
    const std::vector<std::uint8_t> bytes(c.text.begin(), c.text.end());
    const auto fromBytes = decodeSnapshot(std::span<const std::uint8_t>(bytes));
    ASSERT_TRUE(fromBytes.has_value()) << c.name;
    EXPECT_EQ(c.expected, *fromBytes) << c.name;
  }
}

TEST(DecodeSnapshot, ReportsTheFirstBrokenRule) {
  const SnapshotDecodingError notJSON{Kind::notJSON, std::nullopt};
  const SnapshotDecodingError notObject{Kind::topLevelNotObject, std::nullopt};
  const auto at = [](Kind kind, SnapshotKey key) { return SnapshotDecodingError{kind, key}; };
  const std::string good = withMembers("");
  const struct {
    const char* name;
    std::string text;
    SnapshotDecodingError expected;
  } cases[] = {
      // Not JSON at all: the syntax errors that the public suite lists are in the
      // conformance test, the NUL, UTF-8 and number faults in parseJson's; one of
      // those stands for them here.
      {"no bytes", "", notJSON},
      {"only a byte-order mark", "\xEF\xBB\xBF", notJSON},
      {"truncated", good.substr(0, good.size() - 1), notJSON},
      {"raw NUL after the object", good + "\0garbage"s, notJSON},
      {"bad extra value beside a good object", withMembers(R"("x":[1,],)"), notJSON},
      {"UTF-16 text", "\xFF\xFE{\0}\0"s, notJSON},
      // Valid JSON, not an object.
      {"array", "[]", notObject},
      {"array holding a good object", "[" + good + "]", notObject},
      {"number", "42", notObject},
      {"string", R"("running")", notObject},
      {"null", "null", notObject},
      // "state". Which texts name a state is stateFromRawValue's (shared_timer_snapshot_test).
      {"empty object", "{}", at(Kind::keyMissing, SnapshotKey::state)},
      {"state missing", R"({"elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})",
       at(Kind::keyMissing, SnapshotKey::state)},
      {"state null", R"({"state":null,"elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})",
       at(Kind::valueNull, SnapshotKey::state)},
      {"state a number", R"({"state":1,"elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})",
       at(Kind::typeMismatch, SnapshotKey::state)},
      {"state capitalised",
       R"({"state":"Running","elapsedSeconds":1,"todaySeconds":2,)"
       R"("updatedAt":3})",
       at(Kind::unknownState, SnapshotKey::state)},
      {"state with an escaped NUL",
       R"({"state":"paused\u0000","elapsedSeconds":1,)"
       R"("todaySeconds":2,"updatedAt":3})",
       at(Kind::unknownState, SnapshotKey::state)},
      {"state twice",
       R"({"state":"paused","state":"paused","elapsedSeconds":1,"todaySeconds":2,)"
       R"("updatedAt":3})",
       at(Kind::duplicateKey, SnapshotKey::state)},
      // "projectName".
      {"projectName a number", withMembers(R"("projectName":42,)"),
       at(Kind::typeMismatch, SnapshotKey::projectName)},
      {"projectName twice", withMembers(R"("projectName":"a","projectName":"a",)"),
       at(Kind::duplicateKey, SnapshotKey::projectName)},
      {"projectName null then a name", withMembers(R"("projectName":null,"projectName":"a",)"),
       at(Kind::duplicateKey, SnapshotKey::projectName)},
      // The three numbers.
      {"elapsedSeconds as a string",
       R"({"state":"running","elapsedSeconds":"60",)"
       R"("todaySeconds":2,"updatedAt":3})",
       at(Kind::typeMismatch, SnapshotKey::elapsedSeconds)},
      {"elapsedSeconds missing", R"({"state":"running","todaySeconds":2,"updatedAt":3})",
       at(Kind::keyMissing, SnapshotKey::elapsedSeconds)},
      {"elapsedSeconds null",
       R"({"state":"running","elapsedSeconds":null,"todaySeconds":2,)"
       R"("updatedAt":3})",
       at(Kind::valueNull, SnapshotKey::elapsedSeconds)},
      {"elapsedSeconds true",
       R"({"state":"running","elapsedSeconds":true,"todaySeconds":2,)"
       R"("updatedAt":3})",
       at(Kind::typeMismatch, SnapshotKey::elapsedSeconds)},
      {"todaySeconds missing", R"({"state":"running","elapsedSeconds":1,"updatedAt":3})",
       at(Kind::keyMissing, SnapshotKey::todaySeconds)},
      {"todaySeconds an array",
       R"({"state":"running","elapsedSeconds":1,"todaySeconds":[2],)"
       R"("updatedAt":3})",
       at(Kind::typeMismatch, SnapshotKey::todaySeconds)},
      {"updatedAt a date string",
       R"({"state":"running","elapsedSeconds":1,"todaySeconds":2,)"
       R"("updatedAt":"2024-05-01T10:00:00Z"})",
       at(Kind::typeMismatch, SnapshotKey::updatedAt)},
      {"updatedAt missing", R"({"state":"running","elapsedSeconds":1,"todaySeconds":2})",
       at(Kind::keyMissing, SnapshotKey::updatedAt)},
      {"updatedAt null",
       R"({"state":"running","elapsedSeconds":1,"todaySeconds":2,)"
       R"("updatedAt":null})",
       at(Kind::valueNull, SnapshotKey::updatedAt)},
      {"updatedAt twice with one value", withMembers(R"("updatedAt":3,)"),
       at(Kind::duplicateKey, SnapshotKey::updatedAt)},
      // Several broken rules: the earliest in reading order wins.
      {"bad state before a string number",
       R"({"updatedAt":"x","elapsedSeconds":"60",)"
       R"("state":"Paused"})",
       at(Kind::unknownState, SnapshotKey::state)},
      {"bad name before missing numbers", R"({"state":"paused","projectName":1})",
       at(Kind::typeMismatch, SnapshotKey::projectName)},
      {"elapsed before today before updatedAt",
       R"({"state":"paused","updatedAt":null,)"
       R"("todaySeconds":"2","elapsedSeconds":null})",
       at(Kind::valueNull, SnapshotKey::elapsedSeconds)},
      {"today before updatedAt", R"({"state":"paused","updatedAt":null,"elapsedSeconds":1})",
       at(Kind::keyMissing, SnapshotKey::todaySeconds)},
      {"not JSON before any key rule", R"({"state":"Paused",})", notJSON},
  };
  for (const auto& c : cases) {
    const auto result = decodeSnapshot(std::string_view(c.text));
    ASSERT_FALSE(result.has_value()) << c.name << " decoded to " << testing::PrintToString(*result);
    EXPECT_EQ(c.expected, result.error()) << c.name;
  }
}

TEST(DecodeSnapshot, DeepNestingInAnExtraKeyNeitherCrashesNorCrawls) {
  constexpr std::size_t kDepth = 100'000;
  const std::string open(kDepth, '['), close(kDepth, ']');
  const struct {
    const char* name;
    std::string text;
    bool decodes;
  } cases[] = {
      {"balanced", withMembers("\"x\":" + open + close + ","), true},
      {"unbalanced", withMembers("\"x\":" + open + close.substr(1) + ","), false},
      {"never closed", "{\"x\":" + open, false},
      {"objects",
       withMembers("\"x\":" +
                   [] {
                     std::string nested;
                     for (std::size_t i = 0; i < kDepth; ++i) {
                       nested += "{\"a\":";
                     }
                     return nested + "1" + std::string(kDepth, '}');
                   }()
                   + ","),
       true},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = decodeSnapshot(std::string_view(c.text));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(c.decodes, result.has_value()) << c.name;
    // Only a hang or quadratic work could take this long.
    EXPECT_LT(took, std::chrono::seconds(5)) << c.name;
  }
}

TEST(EncodeSnapshot, WritesTheMembersInFieldOrder) {
  const struct {
    const char* name;
    SharedTimerSnapshot snapshot;
    std::string expected;
  } cases[] = {
      {"every field",
       SharedTimerSnapshot(State::running, "Deep work", 1500.5, 7200.0, Date(786000000.25)),
       R"({"state":"running","projectName":"Deep work","elapsedSeconds":1500.5,)"
       R"("todaySeconds":7200.0,"updatedAt":786000000.25})"},
      {"no project name, no key",
       SharedTimerSnapshot(State::stopped, std::nullopt, 0.0, -0.0, Date(-1.5)),
       R"({"state":"stopped","elapsedSeconds":0.0,"todaySeconds":-0.0,"updatedAt":-1.5})"},
      {"empty project name", SharedTimerSnapshot(State::paused, "", 0.1, 1e300, Date(5e-324)),
       R"({"state":"paused","projectName":"","elapsedSeconds":0.1,"todaySeconds":1e+300,)"
       R"("updatedAt":5e-324})"},
      {"characters that need escaping",
       SharedTimerSnapshot(State::paused, "q\"b\\n\n\0\x1F\xC3\xA9"s, 1.0, 2.0, Date(3.0)),
       R"({"state":"paused","projectName":"q\"b\\n\n\u0000\u001f)"
       "\xC3\xA9"
       R"(","elapsedSeconds":1.0,"todaySeconds":2.0,"updatedAt":3.0})"},
  };
  for (const auto& c : cases) {
    const auto text = encodeSnapshot(c.snapshot);
    ASSERT_TRUE(text.has_value()) << c.name;
    EXPECT_EQ(c.expected, *text) << c.name;
  }
}

TEST(EncodeSnapshot, RefusesWhatJSONCannotHold) {
  const auto with = [](double elapsed, double today, double at, std::string name = "p") {
    return SharedTimerSnapshot(State::running, std::move(name), elapsed, today, Date(at));
  };
  using EKind = SnapshotEncodingError::Kind;
  const struct {
    SharedTimerSnapshot snapshot;
    SnapshotEncodingError expected;
  } cases[] = {
      {with(kNaN, 0, 0), {EKind::nonFiniteNumber, SnapshotKey::elapsedSeconds}},
      {with(kInfinity, 0, 0), {EKind::nonFiniteNumber, SnapshotKey::elapsedSeconds}},
      {with(0, -kInfinity, 0), {EKind::nonFiniteNumber, SnapshotKey::todaySeconds}},
      {with(0, kNaN, kNaN), {EKind::nonFiniteNumber, SnapshotKey::todaySeconds}},
      {with(0, 0, kInfinity), {EKind::nonFiniteNumber, SnapshotKey::updatedAt}},
      {with(0, 0, -kNaN), {EKind::nonFiniteNumber, SnapshotKey::updatedAt}},
      {with(0, 0, 0, "\xFF"), {EKind::invalidUTF8, SnapshotKey::projectName}},
      {with(0, 0, 0, "ok \xC3"), {EKind::invalidUTF8, SnapshotKey::projectName}},
      {with(0, 0, 0, "\xED\xA0\x80"), {EKind::invalidUTF8, SnapshotKey::projectName}},
  };
  for (const auto& c : cases) {
    const auto text = encodeSnapshot(c.snapshot);
    ASSERT_FALSE(text.has_value()) << testing::PrintToString(c.snapshot) << " gave " << *text;
    EXPECT_EQ(c.expected, text.error()) << testing::PrintToString(c.snapshot);
  }
}

TEST(EncodeSnapshot, DecodingTheOutputGivesBackTheSameBits) {
  constexpr double kMax = std::numeric_limits<double>::max();
  constexpr double kTiny = std::numeric_limits<double>::denorm_min();
  const SharedTimerSnapshot cases[] = {
      SharedTimerSnapshot(State::running, "Deep work", 1500.5, 7200.0, Date(786000000.25)),
      SharedTimerSnapshot(State::stopped, std::nullopt, 0.0, 0.0, Date(0.0)),
      SharedTimerSnapshot(State::paused, "", -0.0, -0.0, Date(-0.0)),
      SharedTimerSnapshot(State::paused, "\0\x7F\xF4\x8F\xBF\xBF"s, kMax, -kMax, Date(kTiny)),
      SharedTimerSnapshot(State::running, std::string(1000, 'x'), 0.1 + 0.2, 1.0 / 3.0,
                          Date(-978307200.000001)),
      SharedTimerSnapshot(State::running, std::nullopt, 9007199254740993.0, 1e-300, Date(1e22)),
  };
  for (const auto& snapshot : cases) {
    const auto text = encodeSnapshot(snapshot);
    ASSERT_TRUE(text.has_value()) << testing::PrintToString(snapshot);
    const auto back = decodeSnapshot(std::string_view(*text));
    ASSERT_TRUE(back.has_value()) << *text;
    EXPECT_EQ(snapshot, *back) << *text;
    // Equality cannot see the sign of zero; the bits can.
    EXPECT_EQ(std::bit_cast<std::uint64_t>(snapshot.elapsedSeconds),
              std::bit_cast<std::uint64_t>(back->elapsedSeconds))
        << *text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(snapshot.todaySeconds),
              std::bit_cast<std::uint64_t>(back->todaySeconds))
        << *text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(snapshot.updatedAt.timeIntervalSinceReferenceDate()),
              std::bit_cast<std::uint64_t>(back->updatedAt.timeIntervalSinceReferenceDate()))
        << *text;
  }
}

}  // namespace
}  // namespace velto::model
