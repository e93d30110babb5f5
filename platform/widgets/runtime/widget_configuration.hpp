#pragma once

#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/date.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/view.hpp"
#include "platform/widgets/environment.hpp"
#include "platform/widgets/protocol/messages.hpp"
#include "platform/widgets/roles.hpp"
#include "platform/widgets/timeline.hpp"
#include "platform/widgets/timeline_provider_context.hpp"
#include "platform/widgets/widget_family.hpp"

namespace platform::widgets {

/// A widget's configuration as the runtime serves it, whatever its provider and
/// entry types. Each request goes to the provider afresh; every view is built
/// inside an environment whose `widgetFamily` is the requested family.
class WidgetConfiguration {
 public:
  struct Gallery {
    std::string kind;
    ui::LocalizedStringKey displayName;
    ui::LocalizedStringKey description;
    std::vector<WidgetFamily> supportedFamilies;
  };

  template <TimelineProvider P, class Content>
  WidgetConfiguration(Gallery gallery, P provider, Content content)
      : gallery_(std::move(gallery)),
        model_(std::make_unique<Model<P, Content>>(std::move(provider), std::move(content))) {}

  const Gallery& gallery() const { return gallery_; }
  bool supports(WidgetFamily family) const;

  protocol::EntryMessage placeholder(const TimelineProviderContext& context) const {
    return model_->placeholder(context);
  }
  /// Nothing when the provider never called its completion.
  std::optional<protocol::EntryMessage> snapshot(const TimelineProviderContext& context) const {
    return model_->snapshot(context);
  }
  /// Nothing when the provider never called its completion.
  std::optional<protocol::TimelineMessage> timeline(const TimelineProviderContext& context) const {
    return model_->timeline(context);
  }
  WidgetRelevance relevance() const { return model_->relevance(); }

 private:
  struct Concept {
    virtual ~Concept() = default;
    virtual protocol::EntryMessage placeholder(const TimelineProviderContext&) const = 0;
    virtual std::optional<protocol::EntryMessage> snapshot(
        const TimelineProviderContext&) const = 0;
    virtual std::optional<protocol::TimelineMessage> timeline(
        const TimelineProviderContext&) const = 0;
    virtual WidgetRelevance relevance() const = 0;
  };

  template <class P, class Content>
  struct Model final : Concept {
    using Entry = typename P::Entry;

    Model(P p, Content c) : provider(std::move(p)), content(std::move(c)) {}

    protocol::EntryMessage render(const Entry& entry, WidgetFamily family) const {
      const EnvironmentValues environment{family};
      const EnvironmentScope scope(environment);
      return protocol::EntryMessage{entry.date, ui::View(content(entry))};
    }

    protocol::EntryMessage placeholder(const TimelineProviderContext& context) const override {
      return render(provider.placeholder(context), context.family);
    }

    std::optional<protocol::EntryMessage> snapshot(
        const TimelineProviderContext& context) const override {
      std::optional<protocol::EntryMessage> result;
      provider.getSnapshot(context, [&](Entry entry) { result = render(entry, context.family); });
      return result;
    }

    std::optional<protocol::TimelineMessage> timeline(
        const TimelineProviderContext& context) const override {
      std::optional<protocol::TimelineMessage> result;
      provider.getTimeline(context, [&](Timeline<Entry> timeline) {
        protocol::TimelineMessage rendered{{}, timeline.policy};
        rendered.entries.reserve(timeline.entries.size());
        for (const Entry& entry : timeline.entries) {
          rendered.entries.push_back(render(entry, context.family));
        }
        result = std::move(rendered);
      });
      return result;
    }

    WidgetRelevance relevance() const override {
      WidgetRelevance result = WidgetRelevance::platformDefault();
      provider.relevance([&](WidgetRelevance relevance) { result = std::move(relevance); });
      return result;
    }

    P provider;
    Content content;
  };

  Gallery gallery_;
  std::unique_ptr<const Concept> model_;
};

/// A widget whose content the user does not configure: a kind bound to one
/// provider and one content function from entry to view.
template <TimelineProvider P, class Content>
requires std::invocable<const Content&, const typename P::Entry&>
class StaticConfiguration {
 public:
  StaticConfiguration(std::string kind, P provider, Content content)
      : gallery_{std::move(kind), "", "", {}},
        provider_(std::move(provider)),
        content_(std::move(content)) {}

  StaticConfiguration configurationDisplayName(ui::LocalizedStringKey name) && {
    gallery_.displayName = std::move(name);
    return std::move(*this);
  }
  StaticConfiguration description(ui::LocalizedStringKey text) && {
    gallery_.description = std::move(text);
    return std::move(*this);
  }
  StaticConfiguration supportedFamilies(std::vector<WidgetFamily> families) && {
    gallery_.supportedFamilies = std::move(families);
    return std::move(*this);
  }

  const WidgetConfiguration::Gallery& gallery() const { return gallery_; }

  operator WidgetConfiguration() && {  // NOLINT: the runtime takes every configuration this way
    return WidgetConfiguration(std::move(gallery_), std::move(provider_), std::move(content_));
  }

 private:
  WidgetConfiguration::Gallery gallery_;
  P provider_;
  Content content_;
};

/// A widget: a value whose `body()` is its configuration.
template <class W>
concept Widget = std::default_initializable<W> && requires(const W& widget) {
  { widget.body() } -> std::convertible_to<WidgetConfiguration>;
};

}  // namespace platform::widgets
