// Arbitrary bytes as the App Group's defaults file: loading must neither crash
// nor hang, and gives a decoded snapshot or the empty one.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <stdlib.h>

#include "extension/model/shared_timer_storage.hpp"
#include "extension/model/snapshot_json.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace {

std::filesystem::path appGroupFile() {
  return platform::foundation::defaultsFilePath(
      velto::model::SharedTimerStorage::kAppGroupSuiteName);
}

void removeConfigHome() {
  std::error_code ignored;
  std::filesystem::remove_all(getenv("XDG_CONFIG_HOME"), ignored);
}

}  // namespace

// A private configuration home for the whole run, so no real defaults are touched.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string home = (std::filesystem::temp_directory_path() / "velto-fuzz-XXXXXX").string();
  if (mkdtemp(home.data()) == nullptr || setenv("XDG_CONFIG_HOME", home.c_str(), 1) != 0) {
    abort();
  }
  std::filesystem::create_directories(appGroupFile().parent_path());
  atexit(removeConfigHome);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(appGroupFile(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
      abort();
    }
  }
  using namespace velto::model;
  const SharedTimerSnapshot snapshot = SharedTimerStorage::load();
  // Both a decoded snapshot and empty() are finite, valid UTF-8 and read back equal.
  const auto encoded = encodeSnapshot(snapshot);
  if (!encoded) {
    __builtin_trap();
  }
  const auto again = decodeSnapshot(std::string_view(*encoded));
  if (!again || !(*again == snapshot)) {
    __builtin_trap();
  }
  return 0;
}
