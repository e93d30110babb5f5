#include "platform/ui/internal/archive_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/json_text.hpp"
#include "platform/foundation/utf8.hpp"
#include "platform/ui/internal/archive_schema.hpp"

namespace platform::ui::internal {
namespace {

using foundation::Expected;
using foundation::jsonQuoted;
using foundation::Unexpected;
using nlohmann::json;
using Code = ArchiveError::Code;

std::string describeRange(Range range) {
  if (range.low == kAnyFinite.low) {
    return "a finite number";
  }
  return "a number from " + json(range.low).dump() + " to " + json(range.high).dump();
}

/// Collects the keys a schema names, so a reader can refuse every other.
struct KeyCollector {
  std::vector<std::string_view> keys;
  template <class... Rest>
  void operator()(std::string_view key, Rest&&...) {
    keys.push_back(key);
  }
};

// Reads one document, stopping at the first fault, which it keeps with the
// JSON pointer to where it was found.
class Reader {
 public:
  Expected<View, ArchiveError> document(const json& archive) {
    std::optional<View> root = envelope(archive);
    if (!root) {
      return Unexpected(std::move(*error_));
    }
    return std::move(*root);
  }

  // One field of the schema in `object`: true once read into `member`.
  bool read(const json& object, std::string_view key, double& member, Range range) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return false;
    }
    Step step(path_, key);
    const auto number = numberValue(*value, key, range);
    return number && (member = *number, true);
  }

  bool read(const json& object, std::string_view key, std::optional<double>& member, Range range) {
    const auto number = optionalNumber(object, key, range);
    return number && (member = *number, true);
  }

  bool read(const json& object, std::string_view key, std::optional<foundation::Date>& member,
            Range range) {
    const auto number = optionalNumber(object, key, range);
    if (!number) {
      return false;
    }
    member = number->has_value() ? std::optional(foundation::Date(**number)) : std::nullopt;
    return true;
  }

  bool read(const json& object, std::string_view key, std::optional<int>& member) {
    const json* limit = field(object, key, false);
    if (limit == nullptr || limit->is_null()) {
      member = std::nullopt;
      return true;
    }
    Step step(path_, key);
    if (!limit->is_number_integer()) {
      fail(Code::wrongType, jsonQuoted(key) + " must be an integer or null");
      return false;
    }
    constexpr int kMax = std::numeric_limits<int>::max();
    const bool inRange =
        limit->is_number_unsigned()
            ? limit->get<std::uint64_t>() >= 1
                  && limit->get<std::uint64_t>() <= static_cast<std::uint64_t>(kMax)
            : limit->get<std::int64_t>() >= 1 && limit->get<std::int64_t>() <= kMax;
    if (!inRange) {
      fail(Code::outOfRange,
           jsonQuoted(key) + " must be an integer from 1 to " + std::to_string(kMax));
      return false;
    }
    member = static_cast<int>(limit->get<std::int64_t>());
    return true;
  }

  bool read(const json& object, std::string_view key, std::string& member) {
    auto text = string(object, key);
    return text && (member = std::move(*text), true);
  }

  bool read(const json& object, std::string_view key, URL& member) {
    const std::optional<std::string> text = string(object, key);
    if (!text) {
      return false;
    }
    std::optional<URL> url = URL::fromString(*text);
    if (!url) {
      Step step(path_, key);
      fail(Code::invalidValue, jsonQuoted(*text) + " is not an absolute URL");
      return false;
    }
    member = std::move(*url);
    return true;
  }

  template <Named T>
  bool read(const json& object, std::string_view key, T& member) {
    const std::optional<std::string> text = string(object, key);
    if (!text) {
      return false;
    }
    const std::optional<T> value = valueNamed<T>(*text);
    if (!value) {
      Step step(path_, key);
      fail(Code::invalidValue, jsonQuoted(*text) + " is not a " + std::string(Names<T>::kind));
      return false;
    }
    member = *value;
    return true;
  }

  bool read(const json& object, std::string_view key, std::vector<View>& member) {
    return readArray(object, key, member, [&](const json& item) { return nestedView(item); });
  }

  bool read(const json& object, std::string_view key, Box<View>& member) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return false;
    }
    Step step(path_, key);
    std::optional<View> view = nestedView(*value);
    return view && (member = std::move(*view), true);
  }

  bool read(const json& object, std::string_view key, Text::Content& member) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return false;
    }
    Step step(path_, key);
    if (!expectObject(*value, jsonQuoted(key))) {
      return false;
    }
    auto content = variant<Text::Content>(*value, {});
    return content && (member = std::move(*content), true);
  }

  template <Value T>
  bool read(const json& object, std::string_view key, T& member) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return false;
    }
    Step step(path_, key);
    auto decoded = nestedValue(*value, member);
    return decoded && (member = std::move(*decoded), true);
  }

  template <Value T>
  bool read(const json& object, std::string_view key, std::optional<T>& member) {
    const json* value = field(object, key, false);
    if (value == nullptr || value->is_null()) {
      member = std::nullopt;
      return true;
    }
    Step step(path_, key);
    auto decoded = nestedValue(*value, member.value_or(Schema<T>::blank()));
    return decoded && (member = std::move(*decoded), true);
  }

  template <Value T>
  bool read(const json& object, std::string_view key, std::vector<T>& member) {
    return readArray(object, key, member,
                     [&](const json& item) { return nestedValue(item, Schema<T>::blank()); });
  }

 private:
  // Appends one step to the path for as long as it lives.
  class Step {
   public:
    Step(std::string& path, std::string_view key) : path_(path), length_(path.size()) {
      path_ += '/';
      for (char c : key) {
        if (c == '~') {
          path_ += "~0";
        } else if (c == '/') {
          path_ += "~1";
        } else {
          path_ += c;
        }
      }
    }
    Step(std::string& path, std::size_t index) : path_(path), length_(path.size()) {
      path_ += '/';
      path_ += std::to_string(index);
    }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;
    ~Step() { path_.resize(length_); }

   private:
    std::string& path_;
    std::size_t length_;
  };

  // Reads each field of a schema from one object, until the first fault.
  class FieldReader {
   public:
    FieldReader(Reader& reader, const json& object) : reader_(reader), object_(object) {}
    template <class Member, class... Range>
    void operator()(std::string_view key, Member& member, Range... range) {
      ok_ = ok_ && reader_.read(object_, key, member, range...);
    }
    bool ok() const { return ok_; }

   private:
    Reader& reader_;
    const json& object_;
    bool ok_ = true;
  };

  std::nullopt_t fail(Code code, std::string message) {
    error_ = ArchiveError{code, path_, std::move(message)};
    return std::nullopt;
  }

  // The value under `key`, or null when it is absent; fails for a missing required field.
  const json* field(const json& object, std::string_view key, bool required = true) {
    const auto found = object.find(key);
    if (found == object.end()) {
      if (required) {
        Step step(path_, key);
        fail(Code::missingField, "missing field " + jsonQuoted(key));
      }
      return nullptr;
    }
    return &*found;
  }

  bool onlyFields(const json& object, std::string_view tagKey,
                  const std::vector<std::string_view>& known) {
    for (const auto& [key, value] : object.items()) {
      if (key != tagKey && std::find(known.begin(), known.end(), key) == known.end()) {
        Step step(path_, key);
        fail(Code::unknownField, "unknown field " + jsonQuoted(key));
        return false;
      }
    }
    return true;
  }

  bool expectObject(const json& value, std::string_view what) {
    if (!value.is_object()) {
      fail(Code::wrongType, std::string(what) + " must be an object");
      return false;
    }
    return true;
  }

  std::optional<std::string> string(const json& object, std::string_view key) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return std::nullopt;
    }
    Step step(path_, key);
    const auto* text = value->get_ptr<const json::string_t*>();
    if (text == nullptr) {
      return fail(Code::wrongType, jsonQuoted(key) + " must be a string");
    }
    if (!foundation::isValidUtf8(*text)) {
      return fail(Code::invalidValue, jsonQuoted(key) + " must be UTF-8");
    }
    return *text;
  }

  std::optional<double> numberValue(const json& value, std::string_view key, Range range) {
    if (!value.is_number()) {
      return fail(Code::wrongType, jsonQuoted(key) + " must be a number");
    }
    const double number = value.get<double>();
    if (!std::isfinite(number) || number < range.low || number > range.high) {
      return fail(Code::outOfRange, jsonQuoted(key) + " must be " + describeRange(range));
    }
    return number;
  }

  // Absent and null both read as no number: the outer optional holds the fault.
  std::optional<std::optional<double>> optionalNumber(const json& object, std::string_view key,
                                                      Range range) {
    const json* value = field(object, key, false);
    if (value == nullptr || value->is_null()) {
      return std::optional<double>();
    }
    Step step(path_, key);
    const std::optional<double> number = numberValue(*value, key, range);
    if (!number) {
      return std::nullopt;
    }
    return std::optional<std::optional<double>>(std::in_place, *number);
  }

  template <class T, class ReadItem>
  bool readArray(const json& object, std::string_view key, std::vector<T>& member,
                 ReadItem readItem) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return false;
    }
    Step step(path_, key);
    if (!value->is_array()) {
      fail(Code::wrongType, jsonQuoted(key) + " must be an array");
      return false;
    }
    std::vector<T> items;
    items.reserve(value->size());
    for (std::size_t i = 0; i < value->size(); ++i) {
      Step item(path_, i);
      std::optional<T> read = readItem((*value)[i]);
      if (!read) {
        return false;
      }
      items.push_back(std::move(*read));
    }
    member = std::move(items);
    return true;
  }

  // The fields of schema `S` in `object` over `blank`, refusing keys it does not name.
  template <class S, class Fields>
  bool schemaFields(const json& object, std::string_view tagKey, Fields& blank) {
    KeyCollector collector;
    S::fields(collector, blank);
    if (!onlyFields(object, tagKey, collector.keys)) {
      return false;
    }
    FieldReader reader(*this, object);
    S::fields(reader, blank);
    return reader.ok();
  }

  template <Value T>
  std::optional<T> nestedValue(const json& value, const T& blank) {
    if (!expectObject(value, "a value")) {
      return std::nullopt;
    }
    auto fields = ValueSchema<T>::toFields(blank);
    if (!schemaFields<ValueSchema<T>>(value, {}, fields)) {
      return std::nullopt;
    }
    return ValueSchema<T>::fromFields(fields);
  }

  // The alternative named by the tag, read from `object`; an element also
  // holds its modifiers.
  template <class Variant>
  std::optional<Variant> variant(const json& object, std::string_view extraKey) {
    constexpr std::string_view kTagKey = VariantSchema<Variant>::kTagKey;
    const std::optional<std::string> tag = string(object, kTagKey);
    if (!tag) {
      return std::nullopt;
    }
    return alternative<Variant>(*tag, object, extraKey,
                                std::make_index_sequence<std::variant_size_v<Variant>>());
  }

  template <class Variant, std::size_t... I>
  std::optional<Variant> alternative(const std::string& tag, const json& object,
                                     std::string_view extraKey, std::index_sequence<I...>) {
    std::optional<Variant> result;
    bool matched = false;
    const auto tryOne = [&]<class T>(std::type_identity<T>) {
      if (matched || tag != Schema<T>::kTag) {
        return;
      }
      matched = true;
      T blank = Schema<T>::blank();
      KeyCollector collector;
      Schema<T>::fields(collector, blank);
      if (!extraKey.empty()) {
        collector.keys.push_back(extraKey);
      }
      if (!onlyFields(object, VariantSchema<Variant>::kTagKey, collector.keys)) {
        return;
      }
      FieldReader reader(*this, object);
      Schema<T>::fields(reader, blank);
      if (reader.ok()) {
        result.emplace(std::move(blank));
      }
    };
    (tryOne(std::type_identity<std::variant_alternative_t<I, Variant>>()), ...);
    if (!matched) {
      Step step(path_, VariantSchema<Variant>::kTagKey);
      return fail(Code::unknownType,
                  "unknown " + std::string(VariantSchema<Variant>::kNoun) + " " + jsonQuoted(tag));
    }
    return result;
  }

  std::optional<View> envelope(const json& archive) {
    if (!expectObject(archive, "an archive")) {
      return std::nullopt;
    }
    const json* version = field(archive, "version");
    if (version == nullptr) {
      return std::nullopt;
    }
    {
      Step step(path_, "version");
      if (!version->is_number_integer()) {
        return fail(Code::wrongType, "\"version\" must be an integer");
      }
      const bool supported =
          version->is_number_unsigned()
              ? version->get<std::uint64_t>() == static_cast<std::uint64_t>(kArchiveVersion)
              : version->get<std::int64_t>() == kArchiveVersion;
      if (!supported) {
        return fail(Code::unsupportedVersion, "version " + version->dump()
                                                  + " is not supported (only "
                                                  + std::to_string(kArchiveVersion) + ")");
      }
    }
    if (!onlyFields(archive, {}, {"version", "root"})) {
      return std::nullopt;
    }
    const json* root = field(archive, "root");
    if (root == nullptr) {
      return std::nullopt;
    }
    Step step(path_, "root");
    return view(*root);
  }

  // A view one level below the one being read.
  std::optional<View> nestedView(const json& node) {
    ++depth_;
    std::optional<View> result = view(node);
    --depth_;
    return result;
  }

  std::optional<View> view(const json& node) {
    if (!expectObject(node, "a view")) {
      return std::nullopt;
    }
    if (depth_ > kMaxViewDepth) {
      return fail(Code::tooDeep,
                  "views nest deeper than " + std::to_string(kMaxViewDepth) + " levels");
    }
    std::optional<Element> element = variant<Element>(node, "modifiers");
    if (!element) {
      return std::nullopt;
    }
    View result(std::move(*element));
    if (field(node, "modifiers", false) == nullptr) {
      return result;
    }
    const bool read = readArray(node, "modifiers", result.modifiers, [&](const json& item) {
      return expectObject(item, "a modifier") ? variant<Modifier>(item, {}) : std::nullopt;
    });
    return read ? std::optional(std::move(result)) : std::nullopt;
  }

  std::string path_;
  std::optional<ArchiveError> error_;
  int depth_ = 1;  // of the view being read; the root is at level 1
};

}  // namespace

Expected<View, ArchiveError> readDocument(const json& archive) {
  return Reader().document(archive);
}

}  // namespace platform::ui::internal
