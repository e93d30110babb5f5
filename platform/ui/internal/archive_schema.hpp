#pragma once

// The archive's schema, written once: for every element, modifier, text kind
// and nested value, its JSON key names, in the order a reader checks them, and
// the range of each number. The writer and the reader both walk it.
//
// `fields(f, value)` calls `f(key, member)` or `f(key, member, range)` for
// every field; `value` is const for the writer and a blank to fill for the
// reader. Alternatives of a variant carry the tag that names them.

#include <limits>
#include <optional>
#include <string_view>
#include <variant>

#include "platform/ui/archive.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/internal/names.hpp"

namespace platform::ui::internal {

/// A closed range of numbers a field accepts; the writer clamps into it.
struct Range {
  double low;
  double high;
};

inline constexpr Range kLength{0.0, kMaxMagnitude};
inline constexpr Range kSigned{-kMaxMagnitude, kMaxMagnitude};
inline constexpr Range kUnit{0.0, 1.0};
inline constexpr Range kAnyFinite{std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::max()};

/// An enumeration spelled by name.
template <class T>
concept Named = requires {
  Names<T>::kind;
};

/// A variant alternative: its tag, a blank value and its fields.
template <class T>
struct Schema;

/// A nested JSON object that is no variant alternative.
template <class T>
struct ValueSchema;

/// What names the alternatives of a variant, and what a person calls them.
template <class Variant>
struct VariantSchema;

template <>
struct VariantSchema<Element> {
  static constexpr std::string_view kTagKey = "type";
  static constexpr std::string_view kNoun = "element type";
};
template <>
struct VariantSchema<Modifier> {
  static constexpr std::string_view kTagKey = "type";
  static constexpr std::string_view kNoun = "modifier type";
};
template <>
struct VariantSchema<Text::Content> {
  static constexpr std::string_view kTagKey = "kind";
  static constexpr std::string_view kNoun = "text kind";
};

// Elements ------------------------------------------------------------------

template <>
struct Schema<VStack> {
  static constexpr std::string_view kTag = "vstack";
  static VStack blank() { return VStack(HorizontalAlignment::center, std::nullopt, {}); }
  static void fields(auto& f, auto& s) {
    f("alignment", s.alignment);
    f("spacing", s.spacing, kSigned);
    f("children", s.children);
  }
};

template <>
struct Schema<HStack> {
  static constexpr std::string_view kTag = "hstack";
  static HStack blank() { return HStack(VerticalAlignment::center, std::nullopt, {}); }
  static void fields(auto& f, auto& s) {
    f("alignment", s.alignment);
    f("spacing", s.spacing, kSigned);
    f("children", s.children);
  }
};

template <>
struct Schema<ZStack> {
  static constexpr std::string_view kTag = "zstack";
  static ZStack blank() { return ZStack(Alignment::center, {}); }
  static void fields(auto& f, auto& s) {
    f("alignment", s.alignment);
    f("children", s.children);
  }
};

template <>
struct Schema<Spacer> {
  static constexpr std::string_view kTag = "spacer";
  static Spacer blank() { return Spacer(); }
  static void fields(auto& f, auto& s) { f("minLength", s.minLength, kLength); }
};

template <>
struct Schema<Text> {
  static constexpr std::string_view kTag = "text";
  static Text blank() { return Text::verbatim(""); }
  static void fields(auto& f, auto& s) { f("content", s.content); }
};

template <>
struct Schema<Label> {
  static constexpr std::string_view kTag = "label";
  static Label blank() { return Label(Text::verbatim(""), ""); }
  static void fields(auto& f, auto& s) {
    f("title", s.title.content);
    f("systemImage", s.systemImage);
  }
};

template <>
struct Schema<Image> {
  static constexpr std::string_view kTag = "image";
  static Image blank() { return Image::systemName(""); }
  static void fields(auto& f, auto& s) { f("systemName", s.name); }
};

template <>
struct Schema<Circle> {
  static constexpr std::string_view kTag = "circle";
  static Circle blank() { return Circle(); }
  static void fields(auto& f, auto& s) { f("fill", s.fillColor); }
};

template <>
struct Schema<Link> {
  static constexpr std::string_view kTag = "link";
  static Link blank() { return Link(*URL::fromString("about:blank"), Spacer()); }
  static void fields(auto& f, auto& s) {
    f("destination", s.destination);
    f("label", s.label);
  }
};

template <>
struct Schema<Color> {
  static constexpr std::string_view kTag = "color";
  static Color blank() { return Color::clear(); }
  static void fields(auto& f, auto& s) { f("color", s); }
};

template <>
struct Schema<RadialGradient> {
  static constexpr std::string_view kTag = "radialGradient";
  static RadialGradient blank() { return RadialGradient(Gradient({}), UnitPoint{}, 0, 0); }
  static void fields(auto& f, auto& s) {
    f("gradient", s.gradient);
    f("center", s.center);
    f("startRadius", s.startRadius, kLength);
    f("endRadius", s.endRadius, kLength);
  }
};

// Text kinds ----------------------------------------------------------------

template <>
struct Schema<Text::Verbatim> {
  static constexpr std::string_view kTag = "verbatim";
  static Text::Verbatim blank() { return {}; }
  static void fields(auto& f, auto& s) { f("string", s.string); }
};

template <>
struct Schema<LocalizedStringKey> {
  static constexpr std::string_view kTag = "key";
  static LocalizedStringKey blank() { return LocalizedStringKey(""); }
  static void fields(auto& f, auto& s) { f("key", s.key); }
};

template <>
struct Schema<Text::Timer> {
  static constexpr std::string_view kTag = "timer";
  static Text::Timer blank() { return {}; }
  static void fields(auto& f, auto& s) { f("anchor", s.anchor, kAnyFinite); }
};

// Modifiers -----------------------------------------------------------------

template <>
struct Schema<FontModifier> {
  static constexpr std::string_view kTag = "font";
  static FontModifier blank() { return {}; }
  static void fields(auto& f, auto& s) { f("font", s.font); }
};

template <>
struct Schema<TrackingModifier> {
  static constexpr std::string_view kTag = "tracking";
  static TrackingModifier blank() { return {}; }
  static void fields(auto& f, auto& s) { f("tracking", s.tracking, kSigned); }
};

template <>
struct Schema<LineLimitModifier> {
  static constexpr std::string_view kTag = "lineLimit";
  static LineLimitModifier blank() { return {}; }
  static void fields(auto& f, auto& s) { f("limit", s.limit); }
};

template <>
struct Schema<MinimumScaleFactorModifier> {
  static constexpr std::string_view kTag = "minimumScaleFactor";
  static MinimumScaleFactorModifier blank() { return {}; }
  static void fields(auto& f, auto& s) { f("factor", s.factor, kUnit); }
};

template <>
struct Schema<MonospacedDigitModifier> {
  static constexpr std::string_view kTag = "monospacedDigit";
  static MonospacedDigitModifier blank() { return {}; }
  static void fields(auto&, auto&) {}
};

template <>
struct Schema<ForegroundStyleModifier> {
  static constexpr std::string_view kTag = "foregroundStyle";
  static ForegroundStyleModifier blank() { return {}; }
  static void fields(auto& f, auto& s) { f("style", s.style); }
};

template <>
struct Schema<FrameModifier> {
  static constexpr std::string_view kTag = "frame";
  static FrameModifier blank() { return {}; }
  static void fields(auto& f, auto& s) {
    f("width", s.width, kLength);
    f("height", s.height, kLength);
    f("alignment", s.alignment);
  }
};

template <>
struct Schema<BackgroundModifier> {
  static constexpr std::string_view kTag = "background";
  static BackgroundModifier blank() { return {View(Spacer()), Alignment::center}; }
  static void fields(auto& f, auto& s) {
    f("alignment", s.alignment);
    f("content", s.content);
  }
};

template <>
struct Schema<ContainerBackgroundModifier> {
  static constexpr std::string_view kTag = "containerBackground";
  static ContainerBackgroundModifier blank() {
    return {ContainerBackgroundPlacement::widget, Alignment::center, View(Spacer())};
  }
  static void fields(auto& f, auto& s) {
    f("placement", s.placement);
    f("alignment", s.alignment);
    f("content", s.content);
  }
};

// Nested values ---------------------------------------------------------------

/// A colour's fields, which Color keeps behind accessors.
struct ColorFields {
  SystemColor name = SystemColor::clear;
  double opacity = 1.0;
};

template <>
struct ValueSchema<Color> {
  using Fields = ColorFields;
  static Fields toFields(const Color& color) { return {color.name(), color.opacity()}; }
  static Color fromFields(const Fields& fields) { return Color(fields.name, fields.opacity); }
  static void fields(auto& f, auto& s) {
    f("name", s.name);
    f("opacity", s.opacity, kUnit);
  }
};

template <>
struct ValueSchema<Font> {
  using Fields = Font;
  static Fields toFields(const Font& font) { return font; }
  static Font fromFields(const Fields& fields) { return fields; }
  static void fields(auto& f, auto& s) {
    f("size", s.size, kLength);
    f("weight", s.weight);
    f("design", s.design);
  }
};

template <>
struct ValueSchema<UnitPoint> {
  using Fields = UnitPoint;
  static Fields toFields(const UnitPoint& point) { return point; }
  static UnitPoint fromFields(const Fields& fields) { return fields; }
  static void fields(auto& f, auto& s) {
    f("x", s.x, kSigned);
    f("y", s.y, kSigned);
  }
};

template <>
struct ValueSchema<Gradient> {
  using Fields = Gradient;
  static Fields toFields(const Gradient& gradient) { return gradient; }
  static Gradient fromFields(const Fields& fields) { return fields; }
  static void fields(auto& f, auto& s) { f("colors", s.colors); }
};

/// A type that travels as a nested object.
template <class T>
concept Value = requires {
  typename ValueSchema<T>::Fields;
};

}  // namespace platform::ui::internal
