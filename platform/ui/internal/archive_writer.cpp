#include "platform/ui/internal/archive_writer.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/foundation/json_text.hpp"
#include "platform/foundation/utf8.hpp"
#include "platform/ui/internal/archive_schema.hpp"

namespace platform::ui::internal {

using nlohmann::json;

namespace {

double clamped(double value, Range range) {
  // Every range holds 0, so NaN maps inside it.
  return std::isnan(value) ? 0.0 : std::clamp(value, range.low, range.high);
}

json optionalClamped(std::optional<double> value, Range range) {
  if (!value || !std::isfinite(*value)) {
    return nullptr;
  }
  return std::clamp(*value, range.low, range.high);
}

template <class Variant>
json writeVariant(const Variant& variant);

template <Value T>
json writeValue(const T& value);

/// Writes each field of the schema into one JSON object.
class FieldWriter {
 public:
  explicit FieldWriter(json& object) : object_(object) {}

  void operator()(std::string_view key, double value, Range range) {
    set(key, clamped(value, range));
  }
  void operator()(std::string_view key, const std::optional<double>& value, Range range) {
    set(key, optionalClamped(value, range));
  }
  void operator()(std::string_view key, const std::optional<foundation::Date>& date, Range range) {
    set(key,
        optionalClamped(date ? std::optional(date->timeIntervalSinceReferenceDate()) : std::nullopt,
                        range));
  }
  void operator()(std::string_view key, const std::optional<int>& limit) {
    set(key, limit ? json(std::max(*limit, 1)) : json(nullptr));
  }
  void operator()(std::string_view key, const std::string& text) {
    set(key, foundation::validUtf8(text));
  }
  void operator()(std::string_view key, const URL& url) { set(key, url.absoluteString()); }
  template <Named T>
  void operator()(std::string_view key, const T& value) {
    set(key, std::string(nameOf(value)));
  }
  void operator()(std::string_view key, const std::vector<View>& views) {
    json array = json::array();
    for (const View& view : views) {
      array.push_back(writeView(view));
    }
    set(key, std::move(array));
  }
  void operator()(std::string_view key, const Box<View>& view) { set(key, writeView(*view)); }
  void operator()(std::string_view key, const Text::Content& content) {
    set(key, writeVariant(content));
  }
  template <Value T>
  void operator()(std::string_view key, const T& value) {
    set(key, writeValue(value));
  }
  template <Value T>
  void operator()(std::string_view key, const std::optional<T>& value) {
    set(key, value ? writeValue(*value) : json(nullptr));
  }
  template <Value T>
  void operator()(std::string_view key, const std::vector<T>& values) {
    json array = json::array();
    for (const T& value : values) {
      array.push_back(writeValue(value));
    }
    set(key, std::move(array));
  }

 private:
  void set(std::string_view key, json value) { object_[std::string(key)] = std::move(value); }

  json& object_;
};

template <Value T>
json writeValue(const T& value) {
  json object = json::object();
  FieldWriter writer(object);
  const auto fields = ValueSchema<T>::toFields(value);
  ValueSchema<T>::fields(writer, fields);
  return object;
}

template <class Variant>
json writeVariant(const Variant& variant) {
  return std::visit(
      [](const auto& alternative) {
        using T = std::remove_cvref_t<decltype(alternative)>;
        json object = json::object();
        object[std::string(VariantSchema<Variant>::kTagKey)] = std::string(Schema<T>::kTag);
        FieldWriter writer(object);
        Schema<T>::fields(writer, alternative);
        return object;
      },
      variant);
}

}  // namespace

json writeView(const View& view) {
  json node = writeVariant(view.element);
  json modifiers = json::array();
  for (const Modifier& modifier : view.modifiers) {
    modifiers.push_back(writeVariant(modifier));
  }
  node["modifiers"] = std::move(modifiers);
  return node;
}

}  // namespace platform::ui::internal
