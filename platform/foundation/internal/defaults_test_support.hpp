#pragma once

// Helpers for the defaults tests: a private XDG_CONFIG_HOME, file helpers and a
// builder for hand-made binary property lists.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/user_defaults.hpp"

namespace platform::foundation::test_support {

/// Sets or unsets one environment variable and restores it when it goes away.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
      old_ = old;
    }
    apply(value);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { apply(old_); }

 private:
  void apply(const std::optional<std::string>& value) const {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

  std::string name_;
  std::optional<std::string> old_;
};

/// A fresh temporary folder, removed with everything in it when it goes away.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velto-defaults-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// Points XDG_CONFIG_HOME at a fresh temporary folder for the object's lifetime.
class ScopedConfigHome {
 public:
  ScopedConfigHome() : environment_("XDG_CONFIG_HOME", folder_.path().string()) {}

  const std::filesystem::path& root() const { return folder_.path(); }
  std::filesystem::path defaultsFolder() const { return root() / "velto" / "defaults"; }
  std::filesystem::path file(std::string_view domain) const {
    return defaultsFolder() / (std::string(domain) + ".plist");
  }

 private:
  TemporaryFolder folder_;
  ScopedEnvironment environment_;
};

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Writes `contents` to `path`, creating the folders above it.
inline void writeFile(const std::filesystem::path& path, std::string_view contents) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

/// The names in `folder`, or nothing when it does not exist.
inline std::set<std::string> listFolder(const std::filesystem::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

inline Bytes bytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

/// Builds a binary property list ("bplist00") object by object, so that tests
/// can make files that no writer would: shared objects, cycles, deep nesting.
class BinaryPlistBuilder {
 public:
  explicit BinaryPlistBuilder(std::size_t referenceSize = 1) : referenceSize_(referenceSize) {}

  /// Appends an encoded object; returns its index.
  std::size_t add(std::string encoded) {
    objects_.push_back(std::move(encoded));
    return objects_.size() - 1;
  }

  std::size_t addAscii(std::string_view text) {
    return add(counted(0x50, text.size()) + std::string(text));
  }
  std::size_t addData(std::string_view bytes) {
    return add(counted(0x40, bytes.size()) + std::string(bytes));
  }
  std::size_t addArray(const std::vector<std::size_t>& children) {
    std::string encoded = counted(0xA0, children.size());
    for (const std::size_t child : children) {
      encoded += reference(child);
    }
    return add(std::move(encoded));
  }
  std::size_t addDictionary(const std::vector<std::pair<std::size_t, std::size_t>>& entries) {
    std::string encoded = counted(0xD0, entries.size());
    for (const auto& entry : entries) {
      encoded += reference(entry.first);
    }
    for (const auto& entry : entries) {
      encoded += reference(entry.second);
    }
    return add(std::move(encoded));
  }

  /// The file: header, objects, offset table and trailer naming `top`.
  std::string build(std::size_t top) const {
    std::string file = "bplist00";
    std::vector<std::size_t> offsets;
    for (const std::string& object : objects_) {
      offsets.push_back(file.size());
      file += object;
    }
    const std::size_t tableAt = file.size();
    const std::size_t offsetSize = tableAt < 0x100 ? 1 : tableAt < 0x10000 ? 2 : 4;
    for (const std::size_t offset : offsets) {
      file += bigEndian(offset, offsetSize);
    }
    file += std::string(6, '\0');
    file.push_back(static_cast<char>(offsetSize));
    file.push_back(static_cast<char>(referenceSize_));
    file += bigEndian(objects_.size(), 8);
    file += bigEndian(top, 8);
    file += bigEndian(tableAt, 8);
    return file;
  }

  static std::string bigEndian(std::uint64_t value, std::size_t width) {
    std::string bytes(width, '\0');
    for (std::size_t i = 0; i < width; ++i) {
      bytes[width - 1 - i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
  }

 private:
  std::string reference(std::size_t index) const { return bigEndian(index, referenceSize_); }

  // A marker with its count, in the low nibble or in a following integer object.
  static std::string counted(unsigned marker, std::size_t count) {
    if (count < 15) {
      return std::string(1, static_cast<char>(marker | count));
    }
    return std::string(1, static_cast<char>(marker | 0x0F)) + '\x12' + bigEndian(count, 4);
  }

  std::size_t referenceSize_;
  std::vector<std::string> objects_;
};

/// A binary list of `depth` arrays, each holding the next; the innermost is empty.
inline std::string nestedBinaryArrays(std::size_t depth) {
  BinaryPlistBuilder builder(depth < 0x100 ? 1 : 2);
  for (std::size_t i = 0; i + 1 < depth; ++i) {
    builder.addArray({i + 1});
  }
  builder.addArray({});
  return builder.build(0);
}

/// A binary list of `levels` arrays, each holding the next one twice: a tree of
/// 2^levels nodes in a file of a few bytes per level.
inline std::string doublingBinaryArrays(std::size_t levels) {
  BinaryPlistBuilder builder;
  for (std::size_t i = 0; i + 1 < levels; ++i) {
    builder.addArray({i + 1, i + 1});
  }
  builder.addAscii("x");
  return builder.build(0);
}

// {"k": <data "ok">, "n": <chain>}, in the binary form; `addChain` appends the
// chain's objects starting at index 4.
inline std::string binaryDomainWithChain(std::size_t referenceSize,
                                         const std::function<void(BinaryPlistBuilder&)>& addChain) {
  BinaryPlistBuilder builder(referenceSize);
  builder.addDictionary({{1, 2}, {3, 4}});
  builder.addAscii("k");
  builder.addData("ok");
  builder.addAscii("n");
  addChain(builder);
  return builder.build(0);
}

inline std::string binaryDomainWithNestedLists(std::size_t depth) {
  return binaryDomainWithChain(2, [depth](BinaryPlistBuilder& builder) {
    for (std::size_t i = 0; i + 1 < depth; ++i) {
      builder.addArray({4 + i + 1});
    }
    builder.addArray({});
  });
}

inline std::string binaryDomainWithDoublingLists(std::size_t levels) {
  return binaryDomainWithChain(1, [levels](BinaryPlistBuilder& builder) {
    for (std::size_t i = 0; i + 1 < levels; ++i) {
      builder.addArray({4 + i + 1, 4 + i + 1});
    }
    builder.addAscii("x");
  });
}

/// Standard base64 with padding, for the <data> values of XML property lists.
inline std::string base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = 0;
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    for (std::size_t j = 0; j < 3; ++j) {
      group = (group << 8) | (j < n ? static_cast<std::uint8_t>(bytes[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      out += j <= n ? kDigits[(group >> (18 - 6 * j)) & 0x3Fu] : '=';
    }
  }
  return out;
}

/// An XML property list whose root dictionary holds `body`.
inline std::string xmlDomain(std::string_view body) {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
             "<plist version=\"1.0\">\n<dict>\n")
         + std::string(body) + "</dict>\n</plist>\n";
}

}  // namespace platform::foundation::test_support
