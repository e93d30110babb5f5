#pragma once

// The element types of the view tree: what a node is, apart from its modifiers.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/date.hpp"
#include "platform/ui/box.hpp"
#include "platform/ui/color.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/modifiers.hpp"
#include "platform/ui/url.hpp"

namespace platform::ui {

struct View;

/// Children top to bottom, placed across the width by `alignment`, `spacing`
/// points apart (the platform's default gap when empty).
struct VStack : ViewModifiers<VStack> {
  VStack(HorizontalAlignment align, std::optional<double> gap, std::vector<View> views);
  explicit VStack(std::vector<View> views);

  HorizontalAlignment alignment;
  std::optional<double> spacing;
  std::vector<View> children;

  friend bool operator==(const VStack&, const VStack&) = default;
};

/// Children leading to trailing, placed across the height by `alignment`,
/// `spacing` points apart (the platform's default gap when empty).
struct HStack : ViewModifiers<HStack> {
  HStack(VerticalAlignment align, std::optional<double> gap, std::vector<View> views);
  explicit HStack(std::vector<View> views);

  VerticalAlignment alignment;
  std::optional<double> spacing;
  std::vector<View> children;

  friend bool operator==(const HStack&, const HStack&) = default;
};

/// Children layered back (first) to front (last), each placed by `alignment`.
struct ZStack : ViewModifiers<ZStack> {
  ZStack(Alignment align, std::vector<View> views);
  explicit ZStack(std::vector<View> views);

  Alignment alignment;
  std::vector<View> children;

  friend bool operator==(const ZStack&, const ZStack&) = default;
};

/// Flexible empty space along the enclosing stack's axis, at least `minLength`
/// points (the platform's default when empty).
struct Spacer : ViewModifiers<Spacer> {
  explicit Spacer(std::optional<double> length = std::nullopt) : minLength(length) {}

  std::optional<double> minLength;

  friend bool operator==(const Spacer&, const Spacer&) = default;
};

/// A key into the localisation tables. Where no translation exists the key itself is shown.
struct LocalizedStringKey {
  // Implicit, as on the platform: a literal passed where a key is expected is a key.
  LocalizedStringKey(std::string text) : key(std::move(text)) {}
  LocalizedStringKey(const char* text) : key(text) {}

  std::string key;

  friend bool operator==(const LocalizedStringKey&, const LocalizedStringKey&) = default;
};

/// A line of text with one of three contents.
struct Text : ViewModifiers<Text> {
  /// A string shown exactly as it is, never looked up for translation.
  struct Verbatim {
    std::string string;
    friend bool operator==(const Verbatim&, const Verbatim&) = default;
  };
  /// The time elapsed since `anchor` as an hours-minutes-seconds clock, kept
  /// current each second by the host. No anchor means the widget had no
  /// meaningful one (it was not finite); the host shows a placeholder clock.
  struct Timer {
    std::optional<foundation::Date> anchor;
    friend bool operator==(const Timer&, const Timer&) = default;
  };
  using Content = std::variant<Verbatim, LocalizedStringKey, Timer>;

  explicit Text(Content value) : content(std::move(value)) {}

  static Text verbatim(std::string string) { return Text(Verbatim{std::move(string)}); }
  static Text key(LocalizedStringKey key) { return Text(std::move(key)); }
  /// The date's timer style; an anchor that is not finite becomes no anchor.
  static Text timer(foundation::Date anchor);

  Content content;

  friend bool operator==(const Text&, const Text&) = default;
};

/// A title beside a symbol of the platform's symbol set.
struct Label : ViewModifiers<Label> {
  Label(Text titleText, std::string symbolName)
      : title(std::move(titleText)), systemImage(std::move(symbolName)) {}

  Text title;
  std::string systemImage;

  friend bool operator==(const Label&, const Label&) = default;
};

/// A symbol of the platform's symbol set, by name ("hourglass", "sun.max", …).
/// The host draws an empty box for a name it does not know.
struct Image : ViewModifiers<Image> {
  static Image systemName(std::string symbolName) { return Image(std::move(symbolName)); }

  std::string name;

  friend bool operator==(const Image&, const Image&) = default;

 private:
  explicit Image(std::string symbolName) : name(std::move(symbolName)) {}
};

/// A circle as large as fits its box, centred in it.
struct Circle : ViewModifiers<Circle> {
  Circle() = default;

  /// The circle filled with `color`.
  View fill(Color color) const;

  /// Empty: filled with the current foreground style.
  std::optional<Color> fillColor;

  friend bool operator==(const Circle&, const Circle&) = default;
};

/// `label`, which asks the system to open `destination` when tapped.
struct Link : ViewModifiers<Link> {
  Link(URL url, View labelView);

  URL destination;
  Box<View> label;

  friend bool operator==(const Link&, const Link&) = default;
};

/// `gradient` in circles around `center` (a point of the view's box): the first
/// colour at `startRadius` and inside it, the last at `endRadius` and beyond.
/// Fills its box, as a Color used as a view does.
struct RadialGradient : ViewModifiers<RadialGradient> {
  RadialGradient(Gradient colors, UnitPoint origin, double fromRadius, double toRadius)
      : gradient(std::move(colors)), center(origin), startRadius(fromRadius), endRadius(toRadius) {}

  Gradient gradient;
  UnitPoint center;
  double startRadius;
  double endRadius;

  friend bool operator==(const RadialGradient&, const RadialGradient&) = default;
};

/// What a node of the tree is. A `Color` as an element fills its box.
using Element = std::variant<VStack, HStack, ZStack, Spacer, Text, Label, Image, Circle, Link,
                             Color, RadialGradient>;

}  // namespace platform::ui

// View, and the modifier methods that return it, need the elements complete;
// finishing them here lets this header be included on its own.
#include "platform/ui/view.hpp"  // IWYU pragma: export
