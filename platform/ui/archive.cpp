#include "platform/ui/archive.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/internal/names.hpp"

namespace platform::ui {
namespace {

using foundation::Expected;
using foundation::Unexpected;
using nlohmann::json;
using Code = ArchiveError::Code;

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

struct Range {
  double low;
  double high;
};

constexpr Range kLength{0.0, kMaxMagnitude};
constexpr Range kSigned{-kMaxMagnitude, kMaxMagnitude};
constexpr Range kUnit{0.0, 1.0};
constexpr Range kAnyFinite{std::numeric_limits<double>::lowest(),
                           std::numeric_limits<double>::max()};

// Length in bytes of the well-formed UTF-8 sequence at the start of `s`, or 0
// (RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF).
std::size_t utf8SequenceLength(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (s.size() < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

bool isValidUtf8(std::string_view s) {
  while (!s.empty()) {
    const std::size_t length = utf8SequenceLength(s);
    if (length == 0) {
      return false;
    }
    s.remove_prefix(length);
  }
  return true;
}

// A JSON writer would otherwise throw on such bytes, or write text a reader refuses.
std::string validUtf8(std::string_view s) {
  if (isValidUtf8(s)) {
    return std::string(s);
  }
  std::string result;
  result.reserve(s.size() + 8);
  while (!s.empty()) {
    const std::size_t length = utf8SequenceLength(s);
    if (length == 0) {
      result += "\xEF\xBF\xBD";
      s.remove_prefix(1);
    } else {
      result.append(s.substr(0, length));
      s.remove_prefix(length);
    }
  }
  return result;
}

// ---------------------------------------------------------------------------
// Writing

template <class T>
json nameJson(const T& value) {
  return std::string(internal::nameOf(value));
}

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

json writeView(const View& view);

json writeColor(const Color& color) {
  return {{"name", nameJson(color.name())}, {"opacity", clamped(color.opacity(), kUnit)}};
}

json writeTextContent(const Text::Content& content) {
  return std::visit(
      Overloaded{
          [](const Text::Verbatim& verbatim) -> json {
            return {{"kind", "verbatim"}, {"string", validUtf8(verbatim.string)}};
          },
          [](const LocalizedStringKey& key) -> json {
            return {{"kind", "key"}, {"key", validUtf8(key.key)}};
          },
          [](const Text::Timer& timer) -> json {
            json anchor = nullptr;
            if (timer.anchor && std::isfinite(timer.anchor->timeIntervalSinceReferenceDate())) {
              anchor = timer.anchor->timeIntervalSinceReferenceDate();
            }
            return {{"kind", "timer"}, {"anchor", std::move(anchor)}};
          },
      },
      content);
}

json writeChildren(const std::vector<View>& children) {
  json array = json::array();
  for (const View& child : children) {
    array.push_back(writeView(child));
  }
  return array;
}

json writeElement(const Element& element) {
  return std::visit(
      Overloaded{
          [](const VStack& stack) -> json {
            return {{"type", "vstack"},
                    {"alignment", nameJson(stack.alignment)},
                    {"spacing", optionalClamped(stack.spacing, kSigned)},
                    {"children", writeChildren(stack.children)}};
          },
          [](const HStack& stack) -> json {
            return {{"type", "hstack"},
                    {"alignment", nameJson(stack.alignment)},
                    {"spacing", optionalClamped(stack.spacing, kSigned)},
                    {"children", writeChildren(stack.children)}};
          },
          [](const ZStack& stack) -> json {
            return {{"type", "zstack"},
                    {"alignment", nameJson(stack.alignment)},
                    {"children", writeChildren(stack.children)}};
          },
          [](const Spacer& spacer) -> json {
            return {{"type", "spacer"}, {"minLength", optionalClamped(spacer.minLength, kLength)}};
          },
          [](const Text& text) -> json {
            return {{"type", "text"}, {"content", writeTextContent(text.content)}};
          },
          [](const Label& label) -> json {
            return {{"type", "label"},
                    {"title", writeTextContent(label.title.content)},
                    {"systemImage", validUtf8(label.systemImage)}};
          },
          [](const Image& image) -> json {
            return {{"type", "image"}, {"systemName", validUtf8(image.name)}};
          },
          [](const Circle& circle) -> json {
            return {{"type", "circle"},
                    {"fill", circle.fillColor ? writeColor(*circle.fillColor) : json(nullptr)}};
          },
          [](const Link& link) -> json {
            return {{"type", "link"},
                    {"destination", link.destination.absoluteString()},
                    {"label", writeView(*link.label)}};
          },
          [](const Color& color) -> json {
            return {{"type", "color"}, {"color", writeColor(color)}};
          },
          [](const RadialGradient& gradient) -> json {
            json colors = json::array();
            for (const Color& color : gradient.gradient.colors) {
              colors.push_back(writeColor(color));
            }
            return {{"type", "radialGradient"},
                    {"gradient", {{"colors", std::move(colors)}}},
                    {"center",
                     {{"x", clamped(gradient.center.x, kSigned)},
                      {"y", clamped(gradient.center.y, kSigned)}}},
                    {"startRadius", clamped(gradient.startRadius, kLength)},
                    {"endRadius", clamped(gradient.endRadius, kLength)}};
          },
      },
      element);
}

json writeModifier(const Modifier& modifier) {
  return std::visit(
      Overloaded{
          [](const FontModifier& m) -> json {
            return {{"type", "font"},
                    {"font",
                     {{"size", clamped(m.font.size, kLength)},
                      {"weight", nameJson(m.font.weight)},
                      {"design", nameJson(m.font.design)}}}};
          },
          [](const TrackingModifier& m) -> json {
            return {{"type", "tracking"}, {"tracking", clamped(m.tracking, kSigned)}};
          },
          [](const LineLimitModifier& m) -> json {
            return {{"type", "lineLimit"},
                    {"limit", m.limit ? json(std::max(*m.limit, 1)) : json(nullptr)}};
          },
          [](const MinimumScaleFactorModifier& m) -> json {
            return {{"type", "minimumScaleFactor"}, {"factor", clamped(m.factor, kUnit)}};
          },
          [](const MonospacedDigitModifier&) -> json {
            return {{"type", "monospacedDigit"}};
          },
          [](const ForegroundStyleModifier& m) -> json {
            return {{"type", "foregroundStyle"}, {"style", nameJson(m.style)}};
          },
          [](const FrameModifier& m) -> json {
            return {{"type", "frame"},
                    {"width", optionalClamped(m.width, kLength)},
                    {"height", optionalClamped(m.height, kLength)},
                    {"alignment", nameJson(m.alignment)}};
          },
          [](const BackgroundModifier& m) -> json {
            return {{"type", "background"},
                    {"alignment", nameJson(m.alignment)},
                    {"content", writeView(*m.content)}};
          },
          [](const ContainerBackgroundModifier& m) -> json {
            return {{"type", "containerBackground"},
                    {"placement", nameJson(m.placement)},
                    {"alignment", nameJson(m.alignment)},
                    {"content", writeView(*m.content)}};
          },
      },
      modifier);
}

json writeView(const View& view) {
  json node = writeElement(view.element);
  json modifiers = json::array();
  for (const Modifier& modifier : view.modifiers) {
    modifiers.push_back(writeModifier(modifier));
  }
  node["modifiers"] = std::move(modifiers);
  return node;
}

// ---------------------------------------------------------------------------
// Reading

std::string jsonQuoted(std::string_view s) {
  return json(validUtf8(s)).dump();
}

std::string describeRange(Range range) {
  if (range.low == kAnyFinite.low) {
    return "a finite number";
  }
  return "a number from " + json(range.low).dump() + " to " + json(range.high).dump();
}

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

  bool onlyFields(const json& object, std::initializer_list<std::string_view> known) {
    for (const auto& [key, value] : object.items()) {
      if (std::find(known.begin(), known.end(), key) == known.end()) {
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
    if (!isValidUtf8(*text)) {
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

  std::optional<double> number(const json& object, std::string_view key, Range range) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return std::nullopt;
    }
    Step step(path_, key);
    return numberValue(*value, key, range);
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

  template <class T>
  std::optional<T> named(const json& object, std::string_view key) {
    const std::optional<std::string> text = string(object, key);
    if (!text) {
      return std::nullopt;
    }
    const std::optional<T> value = internal::valueNamed<T>(*text);
    if (!value) {
      Step step(path_, key);
      return fail(Code::invalidValue,
                  jsonQuoted(*text) + " is not a " + std::string(internal::Names<T>::kind));
    }
    return value;
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
    if (!onlyFields(archive, {"version", "root"})) {
      return std::nullopt;
    }
    const json* root = field(archive, "root");
    if (root == nullptr) {
      return std::nullopt;
    }
    Step step(path_, "root");
    return view(*root, 1);
  }

  std::optional<View> view(const json& node, int depth) {
    if (!expectObject(node, "a view")) {
      return std::nullopt;
    }
    if (depth > kMaxViewDepth) {
      return fail(Code::tooDeep,
                  "views nest deeper than " + std::to_string(kMaxViewDepth) + " levels");
    }
    const std::optional<std::string> type = string(node, "type");
    if (!type) {
      return std::nullopt;
    }
    std::optional<Element> element = elementOfType(*type, node, depth);
    if (!element) {
      return std::nullopt;
    }
    View result(std::move(*element));
    const json* modifiers = field(node, "modifiers", false);
    if (modifiers == nullptr) {
      return result;
    }
    Step step(path_, "modifiers");
    if (!modifiers->is_array()) {
      return fail(Code::wrongType, "\"modifiers\" must be an array");
    }
    result.modifiers.reserve(modifiers->size());
    for (std::size_t i = 0; i < modifiers->size(); ++i) {
      Step item(path_, i);
      std::optional<Modifier> modifier = modifierAt((*modifiers)[i], depth);
      if (!modifier) {
        return std::nullopt;
      }
      result.modifiers.push_back(std::move(*modifier));
    }
    return result;
  }

  std::optional<Element> elementOfType(const std::string& type, const json& node, int depth) {
    if (type == "vstack") {
      return vstack(node, depth);
    }
    if (type == "hstack") {
      return hstack(node, depth);
    }
    if (type == "zstack") {
      return zstack(node, depth);
    }
    if (type == "spacer") {
      return spacer(node);
    }
    if (type == "text") {
      return text(node);
    }
    if (type == "label") {
      return label(node);
    }
    if (type == "image") {
      return image(node);
    }
    if (type == "circle") {
      return circle(node);
    }
    if (type == "link") {
      return link(node, depth);
    }
    if (type == "color") {
      return colorElement(node);
    }
    if (type == "radialGradient") {
      return radialGradient(node);
    }
    Step step(path_, "type");
    return fail(Code::unknownType, "unknown element type " + jsonQuoted(type));
  }

  std::optional<std::vector<View>> children(const json& node, int depth) {
    const json* value = field(node, "children");
    if (value == nullptr) {
      return std::nullopt;
    }
    Step step(path_, "children");
    if (!value->is_array()) {
      return fail(Code::wrongType, "\"children\" must be an array");
    }
    std::vector<View> result;
    result.reserve(value->size());
    for (std::size_t i = 0; i < value->size(); ++i) {
      Step item(path_, i);
      std::optional<View> child = view((*value)[i], depth + 1);
      if (!child) {
        return std::nullopt;
      }
      result.push_back(std::move(*child));
    }
    return result;
  }

  // VStack and HStack differ only in the axis their alignment runs across.
  template <class Stack, class StackAlignment>
  std::optional<Element> stack(const json& node, int depth) {
    if (!onlyFields(node, {"type", "modifiers", "alignment", "spacing", "children"})) {
      return std::nullopt;
    }
    const auto alignment = named<StackAlignment>(node, "alignment");
    if (!alignment) {
      return std::nullopt;
    }
    const auto spacing = optionalNumber(node, "spacing", kSigned);
    if (!spacing) {
      return std::nullopt;
    }
    auto views = children(node, depth);
    if (!views) {
      return std::nullopt;
    }
    return Stack(*alignment, *spacing, std::move(*views));
  }

  std::optional<Element> vstack(const json& node, int depth) {
    return stack<VStack, HorizontalAlignment>(node, depth);
  }

  std::optional<Element> hstack(const json& node, int depth) {
    return stack<HStack, VerticalAlignment>(node, depth);
  }

  std::optional<Element> zstack(const json& node, int depth) {
    if (!onlyFields(node, {"type", "modifiers", "alignment", "children"})) {
      return std::nullopt;
    }
    const auto alignment = named<Alignment>(node, "alignment");
    if (!alignment) {
      return std::nullopt;
    }
    auto views = children(node, depth);
    if (!views) {
      return std::nullopt;
    }
    return ZStack(*alignment, std::move(*views));
  }

  std::optional<Element> spacer(const json& node) {
    if (!onlyFields(node, {"type", "modifiers", "minLength"})) {
      return std::nullopt;
    }
    const auto minLength = optionalNumber(node, "minLength", kLength);
    if (!minLength) {
      return std::nullopt;
    }
    return Spacer(*minLength);
  }

  std::optional<Text> textContent(const json& object, std::string_view key) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return std::nullopt;
    }
    Step step(path_, key);
    if (!expectObject(*value, jsonQuoted(key))) {
      return std::nullopt;
    }
    const std::optional<std::string> kind = string(*value, "kind");
    if (!kind) {
      return std::nullopt;
    }
    if (*kind == "verbatim") {
      if (!onlyFields(*value, {"kind", "string"})) {
        return std::nullopt;
      }
      std::optional<std::string> verbatim = string(*value, "string");
      if (!verbatim) {
        return std::nullopt;
      }
      return Text::verbatim(std::move(*verbatim));
    }
    if (*kind == "key") {
      if (!onlyFields(*value, {"kind", "key"})) {
        return std::nullopt;
      }
      std::optional<std::string> localizationKey = string(*value, "key");
      if (!localizationKey) {
        return std::nullopt;
      }
      return Text::key(std::move(*localizationKey));
    }
    if (*kind == "timer") {
      if (!onlyFields(*value, {"kind", "anchor"})) {
        return std::nullopt;
      }
      const auto anchor = optionalNumber(*value, "anchor", kAnyFinite);
      if (!anchor) {
        return std::nullopt;
      }
      return Text(Text::Timer{anchor->has_value() ? std::optional(foundation::Date(**anchor))
                                                  : std::nullopt});
    }
    Step kindStep(path_, "kind");
    return fail(Code::unknownType, "unknown text kind " + jsonQuoted(*kind));
  }

  std::optional<Element> text(const json& node) {
    if (!onlyFields(node, {"type", "modifiers", "content"})) {
      return std::nullopt;
    }
    return textContent(node, "content");
  }

  std::optional<Element> label(const json& node) {
    if (!onlyFields(node, {"type", "modifiers", "title", "systemImage"})) {
      return std::nullopt;
    }
    std::optional<Text> title = textContent(node, "title");
    if (!title) {
      return std::nullopt;
    }
    std::optional<std::string> systemImage = string(node, "systemImage");
    if (!systemImage) {
      return std::nullopt;
    }
    return Label(std::move(*title), std::move(*systemImage));
  }

  std::optional<Element> image(const json& node) {
    if (!onlyFields(node, {"type", "modifiers", "systemName"})) {
      return std::nullopt;
    }
    std::optional<std::string> name = string(node, "systemName");
    if (!name) {
      return std::nullopt;
    }
    return Image::systemName(std::move(*name));
  }

  std::optional<Color> colorValue(const json& value) {
    if (!expectObject(value, "a colour")) {
      return std::nullopt;
    }
    if (!onlyFields(value, {"name", "opacity"})) {
      return std::nullopt;
    }
    const auto name = named<SystemColor>(value, "name");
    if (!name) {
      return std::nullopt;
    }
    const auto opacity = number(value, "opacity", kUnit);
    if (!opacity) {
      return std::nullopt;
    }
    return Color(*name, *opacity);
  }

  std::optional<Color> color(const json& object, std::string_view key) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return std::nullopt;
    }
    Step step(path_, key);
    return colorValue(*value);
  }

  std::optional<Element> circle(const json& node) {
    if (!onlyFields(node, {"type", "modifiers", "fill"})) {
      return std::nullopt;
    }
    Circle result;
    const json* fill = field(node, "fill", false);
    if (fill != nullptr && !fill->is_null()) {
      Step step(path_, "fill");
      result.fillColor = colorValue(*fill);
      if (!result.fillColor) {
        return std::nullopt;
      }
    }
    return result;
  }

  std::optional<Element> link(const json& node, int depth) {
    if (!onlyFields(node, {"type", "modifiers", "destination", "label"})) {
      return std::nullopt;
    }
    const std::optional<std::string> destination = string(node, "destination");
    if (!destination) {
      return std::nullopt;
    }
    std::optional<URL> url = URL::fromString(*destination);
    if (!url) {
      Step step(path_, "destination");
      return fail(Code::invalidValue, jsonQuoted(*destination) + " is not an absolute URL");
    }
    const json* labelNode = field(node, "label");
    if (labelNode == nullptr) {
      return std::nullopt;
    }
    Step step(path_, "label");
    std::optional<View> labelView = view(*labelNode, depth + 1);
    if (!labelView) {
      return std::nullopt;
    }
    return Link(std::move(*url), std::move(*labelView));
  }

  std::optional<Element> colorElement(const json& node) {
    if (!onlyFields(node, {"type", "modifiers", "color"})) {
      return std::nullopt;
    }
    return color(node, "color");
  }

  std::optional<Element> radialGradient(const json& node) {
    if (!onlyFields(node,
                    {"type", "modifiers", "gradient", "center", "startRadius", "endRadius"})) {
      return std::nullopt;
    }
    std::optional<Gradient> gradient = gradientField(node);
    if (!gradient) {
      return std::nullopt;
    }
    const std::optional<UnitPoint> center = unitPoint(node, "center");
    if (!center) {
      return std::nullopt;
    }
    const auto startRadius = number(node, "startRadius", kLength);
    if (!startRadius) {
      return std::nullopt;
    }
    const auto endRadius = number(node, "endRadius", kLength);
    if (!endRadius) {
      return std::nullopt;
    }
    return RadialGradient(std::move(*gradient), *center, *startRadius, *endRadius);
  }

  std::optional<Gradient> gradientField(const json& node) {
    const json* value = field(node, "gradient");
    if (value == nullptr) {
      return std::nullopt;
    }
    Step step(path_, "gradient");
    if (!expectObject(*value, "\"gradient\"") || !onlyFields(*value, {"colors"})) {
      return std::nullopt;
    }
    const json* colors = field(*value, "colors");
    if (colors == nullptr) {
      return std::nullopt;
    }
    Step colorsStep(path_, "colors");
    if (!colors->is_array()) {
      return fail(Code::wrongType, "\"colors\" must be an array");
    }
    std::vector<Color> result;
    result.reserve(colors->size());
    for (std::size_t i = 0; i < colors->size(); ++i) {
      Step item(path_, i);
      std::optional<Color> color = colorValue((*colors)[i]);
      if (!color) {
        return std::nullopt;
      }
      result.push_back(*color);
    }
    return Gradient(std::move(result));
  }

  std::optional<UnitPoint> unitPoint(const json& object, std::string_view key) {
    const json* value = field(object, key);
    if (value == nullptr) {
      return std::nullopt;
    }
    Step step(path_, key);
    if (!expectObject(*value, jsonQuoted(key)) || !onlyFields(*value, {"x", "y"})) {
      return std::nullopt;
    }
    const auto x = number(*value, "x", kSigned);
    if (!x) {
      return std::nullopt;
    }
    const auto y = number(*value, "y", kSigned);
    if (!y) {
      return std::nullopt;
    }
    return UnitPoint{*x, *y};
  }

  std::optional<Modifier> modifierAt(const json& value, int depth) {
    if (!expectObject(value, "a modifier")) {
      return std::nullopt;
    }
    const std::optional<std::string> type = string(value, "type");
    if (!type) {
      return std::nullopt;
    }
    if (*type == "font") {
      return fontModifier(value);
    }
    if (*type == "tracking") {
      if (!onlyFields(value, {"type", "tracking"})) {
        return std::nullopt;
      }
      const auto tracking = number(value, "tracking", kSigned);
      return tracking ? std::optional<Modifier>(TrackingModifier{*tracking}) : std::nullopt;
    }
    if (*type == "lineLimit") {
      return lineLimitModifier(value);
    }
    if (*type == "minimumScaleFactor") {
      if (!onlyFields(value, {"type", "factor"})) {
        return std::nullopt;
      }
      const auto factor = number(value, "factor", kUnit);
      return factor ? std::optional<Modifier>(MinimumScaleFactorModifier{*factor}) : std::nullopt;
    }
    if (*type == "monospacedDigit") {
      if (!onlyFields(value, {"type"})) {
        return std::nullopt;
      }
      return MonospacedDigitModifier{};
    }
    if (*type == "foregroundStyle") {
      if (!onlyFields(value, {"type", "style"})) {
        return std::nullopt;
      }
      const auto style = named<HierarchicalShapeStyle>(value, "style");
      return style ? std::optional<Modifier>(ForegroundStyleModifier{*style}) : std::nullopt;
    }
    if (*type == "frame") {
      return frameModifier(value);
    }
    if (*type == "background") {
      return backgroundModifier(value, depth);
    }
    if (*type == "containerBackground") {
      return containerBackgroundModifier(value, depth);
    }
    Step step(path_, "type");
    return fail(Code::unknownType, "unknown modifier type " + jsonQuoted(*type));
  }

  std::optional<Modifier> fontModifier(const json& value) {
    if (!onlyFields(value, {"type", "font"})) {
      return std::nullopt;
    }
    const json* font = field(value, "font");
    if (font == nullptr) {
      return std::nullopt;
    }
    Step step(path_, "font");
    if (!expectObject(*font, "\"font\"") || !onlyFields(*font, {"size", "weight", "design"})) {
      return std::nullopt;
    }
    const auto size = number(*font, "size", kLength);
    if (!size) {
      return std::nullopt;
    }
    const auto weight = named<Font::Weight>(*font, "weight");
    if (!weight) {
      return std::nullopt;
    }
    const auto design = named<Font::Design>(*font, "design");
    if (!design) {
      return std::nullopt;
    }
    return FontModifier{Font::system(*size, *weight, *design)};
  }

  std::optional<Modifier> lineLimitModifier(const json& value) {
    if (!onlyFields(value, {"type", "limit"})) {
      return std::nullopt;
    }
    const json* limit = field(value, "limit", false);
    if (limit == nullptr || limit->is_null()) {
      return LineLimitModifier{std::nullopt};
    }
    Step step(path_, "limit");
    if (!limit->is_number_integer()) {
      return fail(Code::wrongType, "\"limit\" must be an integer or null");
    }
    constexpr int kMax = std::numeric_limits<int>::max();
    const bool inRange =
        limit->is_number_unsigned()
            ? limit->get<std::uint64_t>() >= 1
                  && limit->get<std::uint64_t>() <= static_cast<std::uint64_t>(kMax)
            : limit->get<std::int64_t>() >= 1 && limit->get<std::int64_t>() <= kMax;
    if (!inRange) {
      return fail(Code::outOfRange,
                  "\"limit\" must be an integer from 1 to " + std::to_string(kMax));
    }
    return LineLimitModifier{static_cast<int>(limit->get<std::int64_t>())};
  }

  std::optional<Modifier> frameModifier(const json& value) {
    if (!onlyFields(value, {"type", "width", "height", "alignment"})) {
      return std::nullopt;
    }
    const auto width = optionalNumber(value, "width", kLength);
    if (!width) {
      return std::nullopt;
    }
    const auto height = optionalNumber(value, "height", kLength);
    if (!height) {
      return std::nullopt;
    }
    const auto alignment = named<Alignment>(value, "alignment");
    if (!alignment) {
      return std::nullopt;
    }
    return FrameModifier{*width, *height, *alignment};
  }

  std::optional<View> content(const json& value, int depth) {
    const json* content = field(value, "content");
    if (content == nullptr) {
      return std::nullopt;
    }
    Step step(path_, "content");
    return view(*content, depth + 1);
  }

  std::optional<Modifier> backgroundModifier(const json& value, int depth) {
    if (!onlyFields(value, {"type", "alignment", "content"})) {
      return std::nullopt;
    }
    const auto alignment = named<Alignment>(value, "alignment");
    if (!alignment) {
      return std::nullopt;
    }
    std::optional<View> background = content(value, depth);
    if (!background) {
      return std::nullopt;
    }
    return BackgroundModifier{std::move(*background), *alignment};
  }

  std::optional<Modifier> containerBackgroundModifier(const json& value, int depth) {
    if (!onlyFields(value, {"type", "placement", "alignment", "content"})) {
      return std::nullopt;
    }
    const auto placement = named<ContainerBackgroundPlacement>(value, "placement");
    if (!placement) {
      return std::nullopt;
    }
    const auto alignment = named<Alignment>(value, "alignment");
    if (!alignment) {
      return std::nullopt;
    }
    std::optional<View> background = content(value, depth);
    if (!background) {
      return std::nullopt;
    }
    return ContainerBackgroundModifier{*placement, *alignment, std::move(*background)};
  }

  std::string path_;
  std::optional<ArchiveError> error_;
};

}  // namespace

std::string_view name(ArchiveError::Code code) {
  switch (code) {
    case Code::syntax:
      return "syntax";
    case Code::duplicateKey:
      return "duplicateKey";
    case Code::tooDeep:
      return "tooDeep";
    case Code::unsupportedVersion:
      return "unsupportedVersion";
    case Code::wrongType:
      return "wrongType";
    case Code::missingField:
      return "missingField";
    case Code::unknownField:
      return "unknownField";
    case Code::unknownType:
      return "unknownType";
    case Code::invalidValue:
      return "invalidValue";
    case Code::outOfRange:
      return "outOfRange";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, const ArchiveError& error) {
  return out << name(error.code) << " at \"" << error.path << "\": " << error.message;
}

json archive(const View& view) {
  return {{"version", kArchiveVersion}, {"root", writeView(view)}};
}

std::string archiveText(const View& view) {
  return archive(view).dump();
}

Expected<View, ArchiveError> unarchive(const json& archive) {
  return Reader().document(archive);
}

Expected<View, ArchiveError> parseArchive(std::string_view text) {
  // The parser would take a NUL byte for the end of the text.
  if (text.find('\0') != std::string_view::npos) {
    return Unexpected(ArchiveError{Code::syntax, "", "the text holds a NUL byte"});
  }
  std::optional<ArchiveError> refused;
  std::vector<std::set<std::string>> keysOfOpenObjects;
  // Refusing a value here discards it, but parsing goes on to the end of the
  // text; the parser keeps its own stack, so depth costs no recursion.
  const json::parser_callback_t limits = [&](int depth, json::parse_event_t event, json& parsed) {
    if (refused) {
      return false;
    }
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        if (depth >= kMaxJsonDepth) {
          refused = ArchiveError{Code::tooDeep, "",
                                 "the text nests deeper than " + std::to_string(kMaxJsonDepth)
                                     + " arrays and objects"};
          return false;
        }
        if (event == json::parse_event_t::object_start) {
          keysOfOpenObjects.emplace_back();
        }
        return true;
      case json::parse_event_t::key:
        if (!keysOfOpenObjects.back().insert(parsed.get_ref<const std::string&>()).second) {
          refused = ArchiveError{Code::duplicateKey, "",
                                 "an object holds the key "
                                     + jsonQuoted(parsed.get_ref<const std::string&>()) + " twice"};
          return false;
        }
        return true;
      case json::parse_event_t::object_end:
        keysOfOpenObjects.pop_back();
        return true;
      case json::parse_event_t::array_end:
      case json::parse_event_t::value:
        return true;
    }
    return true;
  };
  json document;
  try {
    document = json::parse(text.begin(), text.end(), limits, /*allow_exceptions=*/true,
                           /*ignore_comments=*/false);
  } catch (const json::exception& error) {
    if (refused) {
      return Unexpected(std::move(*refused));
    }
    return Unexpected(ArchiveError{Code::syntax, "", error.what()});
  }
  if (refused) {
    return Unexpected(std::move(*refused));
  }
  return unarchive(document);
}

}  // namespace platform::ui
