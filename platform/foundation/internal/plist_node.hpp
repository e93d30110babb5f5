#pragma once

#include <cstdlib>
#include <memory>
#include <type_traits>

#include <plist/plist.h>

namespace platform::foundation::internal {

struct PlistFree {
  void operator()(plist_t node) const noexcept { plist_free(node); }
};

/// Owns a libplist tree (a root node and everything below it).
using PlistNode = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

struct PlistBinaryFree {
  void operator()(char* bytes) const noexcept { plist_to_bin_free(bytes); }
};

/// Owns the buffer that plist_to_bin allocates.
using PlistBinary = std::unique_ptr<char, PlistBinaryFree>;

struct MallocFree {
  void operator()(char* text) const noexcept { std::free(text); }
};

/// Owns a string that libplist hands out with malloc (dictionary keys from an iteration).
using MallocString = std::unique_ptr<char, MallocFree>;

/// Owns a dictionary iterator, which libplist allocates with malloc.
class PlistDictIterator {
 public:
  explicit PlistDictIterator(plist_t dict) : dict_(dict) { plist_dict_new_iter(dict, &iter_); }
  PlistDictIterator(const PlistDictIterator&) = delete;
  PlistDictIterator& operator=(const PlistDictIterator&) = delete;
  ~PlistDictIterator() { std::free(iter_); }

  /// The next entry's value (owned by the dictionary) and its key, or a null value at the end.
  plist_t next(MallocString& key) {
    char* rawKey = nullptr;
    plist_t value = nullptr;
    if (iter_ != nullptr) {
      plist_dict_next_item(dict_, iter_, &rawKey, &value);
    }
    key.reset(rawKey);
    return value;
  }

 private:
  plist_t dict_;
  plist_dict_iter iter_ = nullptr;
};

}  // namespace platform::foundation::internal
