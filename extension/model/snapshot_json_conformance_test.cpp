#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extension/model/model_test_support.hpp"
#include "extension/model/snapshot_json.hpp"

namespace velto::model {
namespace {

namespace fs = std::filesystem;

struct Sample {
  std::string name;
  std::string bytes;
};

/// The suite's parsing cases: names start with y_ (must accept), n_ (must
/// reject) or i_ (either, as long as nothing breaks).
std::vector<Sample> suiteSamples() {
  std::vector<Sample> samples;
  const fs::path folder = VELTO_JSON_TEST_SUITE_DIR;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".json") {
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    samples.push_back(
        {entry.path().filename().string(), std::string(std::istreambuf_iterator<char>(in), {})});
  }
  std::ranges::sort(samples, {}, &Sample::name);
  return samples;
}

bool startsWith(const std::string& name, const char* prefix) {
  return name.starts_with(prefix);
}

class JSONTestSuite : public testing::Test {
 protected:
  void SetUp() override {
    samples_ = suiteSamples();
    if (samples_.empty()) {
      GTEST_SKIP() << "no JSONTestSuite cases under " << VELTO_JSON_TEST_SUITE_DIR;
    }
  }
  std::vector<Sample> samples_;
};

// Each case as a whole document: only "is it JSON" is asked, so any verdict
// other than notJSON counts as accepting it.
TEST_F(JSONTestSuite, WholeDocumentsAreAcceptedOrRejectedAsTheSuiteSays) {
  int accepted = 0, rejected = 0, undecided = 0;
  for (const auto& sample : samples_) {
    const auto result = decodeSnapshot(std::string_view(sample.bytes));
    const bool isJSON =
        result.has_value() || result.error().kind != SnapshotDecodingError::Kind::notJSON;
    if (startsWith(sample.name, "y_")) {
      EXPECT_TRUE(isJSON) << sample.name;
      ++accepted;
    } else if (startsWith(sample.name, "n_")) {
      EXPECT_FALSE(isJSON) << sample.name;
      ++rejected;
    } else {
      ++undecided;
    }
  }
  RecordProperty("accept", accepted);
  RecordProperty("reject", rejected);
  RecordProperty("either", undecided);
  EXPECT_GT(accepted + rejected, 0);
}

// Each case as the value of an ignored extra key: the extra value must be
// checked as strictly as the snapshot itself. No n_ case turns valid there:
// each fault lies inside the value or runs into the object's closing brace.
TEST_F(JSONTestSuite, ExtraKeyValuesAreCheckedAsJSON) {
  const std::string head =
      R"({"state":"stopped","elapsedSeconds":0,"todaySeconds":0,"updatedAt":0,"x":)";
  for (const auto& sample : samples_) {
    const auto result = decodeSnapshot(std::string_view(head + sample.bytes + "}"));
    if (startsWith(sample.name, "y_")) {
      EXPECT_TRUE(result.has_value())
          << sample.name << ": " << testing::PrintToString(result.error());
    } else if (startsWith(sample.name, "n_")) {
      ASSERT_FALSE(result.has_value()) << sample.name;
      EXPECT_EQ(SnapshotDecodingError::Kind::notJSON, result.error().kind) << sample.name;
    }
  }
}

}  // namespace
}  // namespace velto::model
