#pragma once

#include <concepts>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/ui/elements.hpp"
#include "platform/ui/modifiers.hpp"

namespace platform::ui {

namespace internal {
template <class T, class Variant>
struct IsAlternative : std::false_type {};
template <class T, class... Ts>
struct IsAlternative<T, std::variant<Ts...>> : std::bool_constant<(std::same_as<T, Ts> || ...)> {};
}  // namespace internal

/// One of the element types that a View can hold.
template <class T>
concept ElementType = internal::IsAlternative<std::remove_cvref_t<T>, Element>::value;

/// A node of the view tree: what it is, and the modifiers applied to it in order.
/// A plain value: copies are deep, equality compares the whole tree (numbers exactly).
///
/// A layout engine walks it as: `element` (std::visit over the element types;
/// stacks hold `children`, a Link its `label`), then `modifiers` from first to
/// last, each wrapping the result of the ones before it (background contents
/// are trees of their own).
struct View : ViewModifiers<View> {
  /// Any element converts to a view with no modifiers.
  template <ElementType E>
  View(E&& value) : element(std::forward<E>(value)) {}
  explicit View(Element value, std::vector<Modifier> applied = {})
      : element(std::move(value)), modifiers(std::move(applied)) {}

  Element element;
  std::vector<Modifier> modifiers;

  friend bool operator==(const View&, const View&) = default;
};

/// An element or modifier equals a value of one of its alternatives when it holds
/// that alternative and the values are equal, so that a test can compare with
/// the value it expects: `EXPECT_EQ(LineLimitModifier{1}, view.modifiers[1])`.
template <class Variant, class T>
requires(std::same_as<Variant, Element> || std::same_as<Variant, Modifier>)
    && internal::IsAlternative<T, Variant>::value bool operator==(const Variant& variant,
                                                                  const T& value) {
  const T* held = std::get_if<T>(&variant);
  return held != nullptr && *held == value;
}

template <class Self>
View ViewModifiers<Self>::modifier(Modifier modifier) const& {
  View view(static_cast<const Self&>(*this));
  view.modifiers.push_back(std::move(modifier));
  return view;
}

template <class Self>
View ViewModifiers<Self>::modifier(Modifier modifier) && {
  View view(std::move(static_cast<Self&>(*this)));
  view.modifiers.push_back(std::move(modifier));
  return view;
}

template <class Self>
View ViewModifiers<Self>::font(Font font) const& {
  return modifier(FontModifier{font});
}
template <class Self>
View ViewModifiers<Self>::font(Font font) && {
  return std::move(*this).modifier(FontModifier{font});
}

template <class Self>
View ViewModifiers<Self>::tracking(double tracking) const& {
  return modifier(TrackingModifier{tracking});
}
template <class Self>
View ViewModifiers<Self>::tracking(double tracking) && {
  return std::move(*this).modifier(TrackingModifier{tracking});
}

template <class Self>
View ViewModifiers<Self>::lineLimit(std::optional<int> limit) const& {
  return modifier(LineLimitModifier{limit});
}
template <class Self>
View ViewModifiers<Self>::lineLimit(std::optional<int> limit) && {
  return std::move(*this).modifier(LineLimitModifier{limit});
}

template <class Self>
View ViewModifiers<Self>::minimumScaleFactor(double factor) const& {
  return modifier(MinimumScaleFactorModifier{factor});
}
template <class Self>
View ViewModifiers<Self>::minimumScaleFactor(double factor) && {
  return std::move(*this).modifier(MinimumScaleFactorModifier{factor});
}

template <class Self>
View ViewModifiers<Self>::monospacedDigit() const& {
  return modifier(MonospacedDigitModifier{});
}
template <class Self>
View ViewModifiers<Self>::monospacedDigit() && {
  return std::move(*this).modifier(MonospacedDigitModifier{});
}

template <class Self>
View ViewModifiers<Self>::foregroundStyle(HierarchicalShapeStyle style) const& {
  return modifier(ForegroundStyleModifier{style});
}
template <class Self>
View ViewModifiers<Self>::foregroundStyle(HierarchicalShapeStyle style) && {
  return std::move(*this).modifier(ForegroundStyleModifier{style});
}

template <class Self>
View ViewModifiers<Self>::frame(std::optional<double> width, std::optional<double> height,
                                Alignment alignment) const& {
  return modifier(FrameModifier{width, height, alignment});
}
template <class Self>
View ViewModifiers<Self>::frame(std::optional<double> width, std::optional<double> height,
                                Alignment alignment) && {
  return std::move(*this).modifier(FrameModifier{width, height, alignment});
}

template <class Self>
View ViewModifiers<Self>::background(View content, Alignment alignment) const& {
  return modifier(BackgroundModifier{std::move(content), alignment});
}
template <class Self>
View ViewModifiers<Self>::background(View content, Alignment alignment) && {
  return std::move(*this).modifier(BackgroundModifier{std::move(content), alignment});
}

template <class Self>
View ViewModifiers<Self>::containerBackground(ContainerBackgroundPlacement placement,
                                              Alignment alignment, View content) const& {
  return modifier(ContainerBackgroundModifier{placement, alignment, std::move(content)});
}
template <class Self>
View ViewModifiers<Self>::containerBackground(ContainerBackgroundPlacement placement,
                                              Alignment alignment, View content) && {
  return std::move(*this).modifier(
      ContainerBackgroundModifier{placement, alignment, std::move(content)});
}

}  // namespace platform::ui
