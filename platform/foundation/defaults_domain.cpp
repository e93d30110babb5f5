#include "platform/foundation/defaults_domain.hpp"

#include <algorithm>

#include "platform/foundation/internal/property_list_file.hpp"
#include "platform/foundation/limits.hpp"

namespace platform::foundation {

namespace {

using Code = DefaultsError::Code;

DefaultsValueType typeOf(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_DATA:
      return DefaultsValueType::data;
    case PLIST_STRING:
      return DefaultsValueType::string;
    case PLIST_UINT:
      return DefaultsValueType::integer;
    case PLIST_REAL:
      return DefaultsValueType::real;
    case PLIST_BOOLEAN:
      return DefaultsValueType::boolean;
    case PLIST_DATE:
      return DefaultsValueType::date;
    case PLIST_ARRAY:
      return DefaultsValueType::array;
    case PLIST_DICT:
      return DefaultsValueType::dictionary;
    case PLIST_UID:
      return DefaultsValueType::uid;
    default:
      return DefaultsValueType::unknown;
  }
}

Expected<DefaultsValue, DefaultsError> valueIn(plist_t dictionary, std::string_view key,
                                               std::string_view where) {
  const plist_t node = internal::dictionaryItem(dictionary, key);
  if (node == nullptr) {
    return Unexpected(DefaultsError{
        Code::noSuchKey, "no value for key " + quotedForMessage(key) + std::string(where)});
  }
  return internal::defaultsValueOf(node);
}

Expected<internal::PlistNode, DefaultsError> readDomain(std::string_view domain) {
  const auto file = internal::domainFile(domain, Code::unreadable);
  if (!file) {
    return Unexpected(file.error());
  }
  return file->read();
}

}  // namespace

std::string_view defaultsValueTypeName(DefaultsValueType type) {
  switch (type) {
    case DefaultsValueType::data:
      return "data";
    case DefaultsValueType::string:
      return "string";
    case DefaultsValueType::integer:
      return "integer";
    case DefaultsValueType::real:
      return "real";
    case DefaultsValueType::boolean:
      return "boolean";
    case DefaultsValueType::date:
      return "date";
    case DefaultsValueType::array:
      return "array";
    case DefaultsValueType::dictionary:
      return "dictionary";
    case DefaultsValueType::uid:
      return "uid";
    case DefaultsValueType::unknown:
      break;
  }
  return "unknown";
}

DefaultsValue internal::defaultsValueOf(plist_t node) {
  DefaultsValue value{typeOf(node), {}};
  std::uint64_t length = 0;
  const char* bytes = nullptr;
  if (value.type == DefaultsValueType::data) {
    bytes = plist_get_data_ptr(node, &length);
  } else if (value.type == DefaultsValueType::string) {
    bytes = plist_get_string_ptr(node, &length);
  }
  if (bytes != nullptr) {
    const auto* first = reinterpret_cast<const std::uint8_t*>(bytes);
    value.bytes.assign(first, first + length);
  }
  return value;
}

Expected<std::vector<DefaultsEntry>, DefaultsError> listDefaultsKeys(std::string_view domain) {
  const auto root = readDomain(domain);
  if (!root) {
    return Unexpected(root.error());
  }
  std::vector<DefaultsEntry> entries;
  internal::PlistDictIterator iterator(root->get());
  internal::MallocString key;
  for (plist_t value = iterator.next(key); value != nullptr; value = iterator.next(key)) {
    entries.push_back(DefaultsEntry{key ? std::string(key.get()) : std::string(), typeOf(value)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DefaultsEntry& a, const DefaultsEntry& b) { return a.key < b.key; });
  return entries;
}

Expected<DefaultsValue, DefaultsError> readDefaultsValue(std::string_view domain,
                                                         std::string_view key) {
  const auto root = readDomain(domain);
  if (!root) {
    return Unexpected(root.error());
  }
  return valueIn(root->get(), key, " in domain " + quotedForMessage(domain));
}

Expected<DefaultsValue, DefaultsError> readDefaultsValueFromContents(
    std::span<const std::uint8_t> contents, std::string_view key) {
  if (contents.size() > kMaxDomainFileSize) {
    return Unexpected(DefaultsError{
        Code::tooLarge, "larger than " + std::to_string(kMaxDomainFileSize) + " bytes"});
  }
  const std::string copy(contents.begin(), contents.end());
  const auto root = internal::parseDomainContents(copy);
  if (!root) {
    return Unexpected(root.error());
  }
  return valueIn(root->get(), key, "");
}

}  // namespace platform::foundation
