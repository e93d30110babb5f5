#include "host/backends/gtk/gtk_backend.hpp"

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "host/backends/cairo/renderer.hpp"
#include "host/backends/cairo/tick_painting.hpp"
#include "host/backends/gtk/accessible.hpp"
#include "host/backends/gtk/accessible_tree.hpp"
#include "host/backends/gtk/appearance_watch.hpp"
#include "host/backends/gtk/hit_test.hpp"
#include "host/backends/gtk/pointer_input.hpp"
#include "host/backends/gtk/position_saver.hpp"
#include "host/backends/gtk/status_pill.hpp"
#include "host/backends/gtk/widget_painting.hpp"
#include "host/backends/gtk/window_placement.hpp"
#include "host/backends/gtk/window_shape.hpp"
#include "host/backends/gtk/window_surface.hpp"
#include "host/layout/laid_out_widget.hpp"
#include "host/layout/redaction.hpp"
#include "host/live/timeout.hpp"
#include "host/render/metrics.hpp"

namespace velto::host::gtk {
namespace {

using platform::foundation::Date;

/// How soon a layer surface that the compositor closed is offered again.
constexpr std::chrono::milliseconds kReopenAfter{250};

int roundUp(double length) {
  return static_cast<int>(std::ceil(length));
}

/// A box as "WxH+X+Y", the way X11 tools write geometry.
std::string geometryText(const PixelBox& box) {
  return std::to_string(box.width) + "x" + std::to_string(box.height) + "+" + std::to_string(box.x)
         + "+" + std::to_string(box.y);
}

}  // namespace

struct GtkBackend::Impl {
  Impl(DesktopOptions options, Log log, std::function<void()> closed);
  ~Impl();

  void layOut(Date instant);
  void followLayout();
  void describe();
  const layout::DrawList& shown() const;
  void paint(cairo_t* cr);
  render::Appearance appearance() const;
  void updateShape();
  void place();
  void reopenLayerSurface();

  static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean onPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean onRelease(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
  static gboolean onLeave(GtkWidget*, GdkEventCrossing*, gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onConfigure(GtkWidget*, GdkEventConfigure*, gpointer self);
  static void onScaleChanged(GObject*, GParamSpec*, gpointer self);
  static void onCompositedChanged(GdkScreen*, gpointer self);
  static void onMonitorsChanged(GdkDisplay*, GdkMonitor*, gpointer self);

  /// Opens `url` through the live host, once it has said how.
  void openLink(const std::string& url) const {
    if (open_) {
      open_(url);
    }
  }

  DesktopOptions options_;
  Log log_;
  std::function<void()> closed_;
  live::OpenLink open_;
  layout::Size size_;
  SurfaceKind kind_;

  GtkWidget* window_ = nullptr;  // owned: destroyed with the backend
  GtkWidget* canvas_ = nullptr;  // owned by the window
  std::unique_ptr<AccessibleChildren> accessible_;
  std::unique_ptr<AppearanceWatch> appearanceWatch_;
  std::unique_ptr<PointerInput> pointer_;
  PositionSaver position_;
  cairo::Renderer renderer_;
  cairo::TickPainting painting_;

  std::optional<live::Scene> scene_;
  std::optional<layout::LaidOutWidget> widget_;
  /// What shows instead of a laid-out widget: the placeholder's bars, or
  /// nothing when the widget cannot be laid out.
  layout::DrawList standIn_;
  std::string status_;
  live::Timeout reopenTimer_{nullptr};
  std::vector<gulong> displayHandlers_;
  gulong screenHandler_ = 0;
};

GtkBackend::Impl::Impl(DesktopOptions options, Log log, std::function<void()> closed)
    : options_(std::move(options)),
      log_(std::move(log)),
      closed_(std::move(closed)),
      size_(render::widgetSize(options_.family)),
      kind_(surfaceKind(gdk_display_get_default())),
      position_(options_.positionFile, log_) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  GtkWindow* window = GTK_WINDOW(window_);
  gtk_window_set_title(window, "Velto Timer");
  gtk_window_set_role(window, "velto-widget");
  gtk_widget_set_app_paintable(window_, TRUE);

  GdkScreen* screen = gtk_window_get_screen(window);
  if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen)) {
    gtk_widget_set_visual(window_, rgba);
  }

  canvas_ = newAccessibleCanvas();
  gtk_widget_set_size_request(canvas_, roundUp(size_.width), roundUp(size_.height));
  gtk_widget_add_events(canvas_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK
                                     | GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK);
  gtk_container_add(GTK_CONTAINER(window_), canvas_);
  atk_object_set_name(gtk_widget_get_accessible(canvas_), "Velto Timer");
  accessible_ = std::make_unique<AccessibleChildren>(
      canvas_, [this](const std::string& url) { openLink(url); });
  pointer_ = std::make_unique<PointerInput>(canvas_, window, kind_ == SurfaceKind::x11,
                                            [this](const std::string& url) { openLink(url); });

  g_signal_connect(canvas_, "draw", G_CALLBACK(onDraw), this);
  g_signal_connect(canvas_, "button-press-event", G_CALLBACK(onPress), this);
  g_signal_connect(canvas_, "button-release-event", G_CALLBACK(onRelease), this);
  g_signal_connect(canvas_, "motion-notify-event", G_CALLBACK(onMotion), this);
  g_signal_connect(canvas_, "leave-notify-event", G_CALLBACK(onLeave), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(onConfigure), this);
  g_signal_connect(window_, "notify::scale-factor", G_CALLBACK(onScaleChanged), this);
  screenHandler_ =
      g_signal_connect(screen, "composited-changed", G_CALLBACK(onCompositedChanged), this);
  GdkDisplay* display = gdk_display_get_default();
  displayHandlers_.push_back(
      g_signal_connect(display, "monitor-added", G_CALLBACK(onMonitorsChanged), this));
  displayHandlers_.push_back(
      g_signal_connect(display, "monitor-removed", G_CALLBACK(onMonitorsChanged), this));

  if (!options_.appearance) {
    appearanceWatch_ = std::make_unique<AppearanceWatch>(
        [this](render::Appearance) { gtk_widget_queue_draw(canvas_); });
  }

  switch (kind_) {
    case SurfaceKind::layerShell:
      makeLayerSurface(window, options_.corner, options_.margin,
                       options_.output ? chooseMonitor(display, options_.output) : nullptr);
      break;
    case SurfaceKind::x11:
      makeDesktopWindow(window, true);
      position_.load();
      place();
      break;
    case SurfaceKind::plainWayland:
      makeDesktopWindow(window, false);
      log_(
          "this Wayland desktop offers no layer shell and no X11 is at hand: the widget is an "
          "ordinary window that cannot stay below the others");
      break;
  }
  if (options_.output && !hasMonitor(display, *options_.output)) {
    log_("no monitor called '" + *options_.output + "' yet: showing on another until it comes");
  }
}

GtkBackend::Impl::~Impl() {
  position_.cancel();
  reopenTimer_.cancel();
  GdkDisplay* display = gdk_display_get_default();
  for (const gulong handler : displayHandlers_) {
    g_signal_handler_disconnect(display, handler);
  }
  g_signal_handler_disconnect(gtk_window_get_screen(GTK_WINDOW(window_)), screenHandler_);
  g_signal_handlers_disconnect_by_data(window_, this);
  g_signal_handlers_disconnect_by_data(canvas_, this);
  accessible_.reset();
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

render::Appearance GtkBackend::Impl::appearance() const {
  if (options_.appearance) {
    return *options_.appearance;
  }
  return appearanceWatch_ ? appearanceWatch_->current() : render::Appearance::light;
}

void GtkBackend::Impl::layOut(Date instant) {
  renderer_.measurer().beginFrame();
  auto widget = layout::LaidOutWidget::make(
      scene_->view,
      layout::WidgetCanvas{size_, render::kContentMargin, render::kWidgetCornerRadius, instant},
      renderer_.measurer());
  standIn_ = layout::DrawList{size_, {}};
  widget_.reset();
  if (!widget) {
    log_("cannot lay out the widget: " + widget.error().message);
  } else if (scene_->redacted) {
    standIn_ = layout::redacted(widget->drawList());
  } else {
    widget_ = std::move(*widget);
  }
  followLayout();
}

void GtkBackend::Impl::followLayout() {
  painting_.forget();
  // The placeholder's scene offers no link: its buttons lead nowhere yet.
  pointer_->setLinks(linkRegions(shown(), scene_->links));
  describe();
}

void GtkBackend::Impl::describe() {
  accessible_->changed([this] {
    return widget_ ? accessibleTree(widget_->drawList()) : std::vector<AccessibleNode>{};
  });
}

const layout::DrawList& GtkBackend::Impl::shown() const {
  return widget_ ? widget_->drawList() : standIn_;
}

void GtkBackend::Impl::paint(cairo_t* cr) {
  clearWindow(cr);
  if (!scene_) {
    return;
  }
  paintWidget(cr, painting_, renderer_, shown(), pointer_->pressedBox(), appearance(),
              gtk_widget_get_scale_factor(canvas_));
  if (!status_.empty()) {
    paintStatusPill(cr, size_, status_);
  }
}

void GtkBackend::Impl::updateShape() {
  updateWindowShape(window_, kind_, size_);
}

void GtkBackend::Impl::place() {
  placeWindow(GTK_WINDOW(window_), kind_, options_, size_, position_.saved());
}

void GtkBackend::Impl::reopenLayerSurface() {
  // The compositor closed the surface (its output went away): offer it again.
  reopenTimer_.start(kReopenAfter, [this] {
    gtk_widget_hide(window_);
    place();
    gtk_widget_show_all(window_);
  });
}

gboolean GtkBackend::Impl::onDraw(GtkWidget*, cairo_t* cr, gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  if (impl->options_.logRedraws) {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    impl->log_("redraw " + geometryText(coveringBox({x1, y1, x2 - x1, y2 - y1})));
  }
  impl->paint(cr);
  return TRUE;
}

gboolean GtkBackend::Impl::onPress(GtkWidget*, GdkEventButton* event, gpointer self) {
  return static_cast<Impl*>(self)->pointer_->press(*event) ? TRUE : FALSE;
}

gboolean GtkBackend::Impl::onRelease(GtkWidget*, GdkEventButton* event, gpointer self) {
  return static_cast<Impl*>(self)->pointer_->release(*event) ? TRUE : FALSE;
}

gboolean GtkBackend::Impl::onMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
  static_cast<Impl*>(self)->pointer_->motion(*event);
  return FALSE;
}

gboolean GtkBackend::Impl::onLeave(GtkWidget*, GdkEventCrossing*, gpointer self) {
  static_cast<Impl*>(self)->pointer_->leave();
  return FALSE;
}

gboolean GtkBackend::Impl::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  if (impl->kind_ == SurfaceKind::layerShell) {
    impl->log_("the compositor closed the widget's surface; opening it again");
    impl->reopenLayerSurface();
    return TRUE;
  }
  impl->closed_();
  return TRUE;
}

gboolean GtkBackend::Impl::onConfigure(GtkWidget*, GdkEventConfigure*, gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  if (impl->pointer_->dragging()) {
    impl->position_.windowMoved(GTK_WINDOW(impl->window_));
  }
  return FALSE;
}

void GtkBackend::Impl::onScaleChanged(GObject*, GParamSpec*, gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  impl->updateShape();
  gtk_widget_queue_draw(impl->canvas_);
}

void GtkBackend::Impl::onCompositedChanged(GdkScreen*, gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  impl->updateShape();
  gtk_widget_queue_draw(impl->canvas_);
}

void GtkBackend::Impl::onMonitorsChanged(GdkDisplay*, GdkMonitor*, gpointer self) {
  static_cast<Impl*>(self)->place();
}

GtkBackend::GtkBackend(DesktopOptions options, Log log, std::function<void()> closed)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(log), std::move(closed))) {}

GtkBackend::~GtkBackend() = default;

void GtkBackend::setOpenLink(live::OpenLink open) {
  impl_->open_ = std::move(open);
}

std::string_view GtkBackend::surfaceName() const {
  return name(impl_->kind_);
}

void GtkBackend::show(const live::Scene& scene, Date instant) {
  impl_->scene_ = scene;
  impl_->pointer_->forgetPress();
  impl_->layOut(instant);
  if (impl_->options_.logRedraws) {
    for (const auto& link : impl_->pointer_->links()) {
      impl_->log_("button " + link.url + " " + geometryText(coveringBox(link.rect)));
    }
  }
  if (!gtk_widget_get_visible(impl_->window_)) {
    gtk_widget_show_all(impl_->window_);
    impl_->updateShape();
  }
  gtk_widget_queue_draw(impl_->canvas_);
}

void GtkBackend::tick(Date instant) {
  // The placeholder shows no value, so it stays as it is.
  auto& widget = impl_->widget_;
  if (!widget || !widget->hasLiveTimer()) {
    return;
  }
  const unsigned layouts = widget->layoutCount();
  impl_->renderer_.measurer().beginFrame();
  const auto boxes = widget->advanceTimers(instant, impl_->renderer_.measurer());
  if (boxes.empty()) {
    return;
  }
  if (widget->layoutCount() != layouts) {
    impl_->followLayout();
    gtk_widget_queue_draw(impl_->canvas_);
    return;
  }
  for (const auto& changed : boxes) {
    const auto box = coveringBox(changed);
    gtk_widget_queue_draw_area(impl_->canvas_, box.x, box.y, box.width, box.height);
  }
  impl_->describe();
}

void GtkBackend::status(std::string_view message) {
  impl_->status_ = std::string(message);
  gtk_widget_queue_draw(impl_->canvas_);
}

}  // namespace velto::host::gtk
