#include "platform/ui/elements.hpp"

#include <cmath>
#include <utility>

#include "platform/ui/view.hpp"

namespace platform::ui {

VStack::VStack(HorizontalAlignment align, std::optional<double> gap, std::vector<View> views)
    : alignment(align), spacing(gap), children(std::move(views)) {}

VStack::VStack(std::vector<View> views)
    : VStack(HorizontalAlignment::center, std::nullopt, std::move(views)) {}

HStack::HStack(VerticalAlignment align, std::optional<double> gap, std::vector<View> views)
    : alignment(align), spacing(gap), children(std::move(views)) {}

HStack::HStack(std::vector<View> views)
    : HStack(VerticalAlignment::center, std::nullopt, std::move(views)) {}

ZStack::ZStack(Alignment align, std::vector<View> views)
    : alignment(align), children(std::move(views)) {}

ZStack::ZStack(std::vector<View> views) : ZStack(Alignment::center, std::move(views)) {}

Text Text::timer(foundation::Date anchor) {
  if (!std::isfinite(anchor.timeIntervalSinceReferenceDate())) {
    return Text(Timer{std::nullopt});
  }
  return Text(Timer{anchor});
}

View Circle::fill(Color color) const {
  Circle filled = *this;
  filled.fillColor = color;
  return filled;
}

Link::Link(URL url, View labelView) : destination(std::move(url)), label(std::move(labelView)) {}

}  // namespace platform::ui
