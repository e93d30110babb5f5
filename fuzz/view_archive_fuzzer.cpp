// Reading arbitrary bytes as a view archive must never crash, and whatever
// reads must survive archive → read unchanged.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui/archive.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace platform::ui;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto view = parseArchive(text);
  if (!view) {
    return 0;
  }
  // A tree that was read has every number in range, so it archives exactly.
  const std::string again = archiveText(*view);
  const auto reread = parseArchive(again);
  if (!reread || !(*reread == *view) || archiveText(*reread) != again) {
    __builtin_trap();
  }
  return 0;
}
