#include "host/backends/gtk/gtk_backend.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "host/backends/cairo/renderer.hpp"
#include "host/backends/gtk/accessible.hpp"
#include "host/backends/gtk/accessible_tree.hpp"
#include "host/backends/gtk/appearance_watch.hpp"
#include "host/backends/gtk/frame_changes.hpp"
#include "host/backends/gtk/hit_test.hpp"
#include "host/backends/gtk/position_store.hpp"
#include "host/backends/gtk/window_surface.hpp"
#include "host/layout/layout.hpp"
#include "host/live/glib_source.hpp"
#include "host/live/timeout.hpp"
#include "host/render/metrics.hpp"
#include "host/render/palette.hpp"

namespace velto::host::gtk {
namespace {

using platform::foundation::Date;

/// How long after the last move of a dragged window its position is written.
constexpr std::chrono::milliseconds kSaveAfter{400};
/// How soon a layer surface that the compositor closed is offered again.
constexpr std::chrono::milliseconds kReopenAfter{250};
/// The pressed button's veil: the primary colour at this opacity.
constexpr double kPressedOpacity = 0.18;
/// The status line: its height, margin and font size in points.
constexpr double kStatusHeight = 26.0;
constexpr double kStatusMargin = 8.0;
constexpr double kStatusFontSize = 11.0;

int roundUp(double length) {
  return static_cast<int>(std::ceil(length));
}

/// A box as "WxH+X+Y", the way X11 tools write geometry.
std::string geometryText(const PixelBox& box) {
  return std::to_string(box.width) + "x" + std::to_string(box.height) + "+"
         + std::to_string(box.x) + "+" + std::to_string(box.y);
}

}  // namespace

struct GtkBackend::Impl {
  Impl(DesktopOptions options, Log log, std::function<void()> closed);
  ~Impl();

  // Drawing.
  void relayout(Date instant);
  void paint(cairo_t* cr);
  void paintStatus(cairo_t* cr);
  render::Appearance appearance() const;
  void updateShape();
  void queueLink(std::optional<std::size_t> link);

  // Placement.
  void place();
  void reopenLayerSurface();
  void rememberPosition();

  // Events.
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
  cairo::Renderer renderer_;

  std::optional<live::Scene> scene_;
  layout::DrawList list_;
  std::vector<layout::LinkRegion> links_;
  std::optional<std::size_t> hovered_;
  std::optional<std::size_t> pressed_;
  std::string status_;
  bool dragging_ = false;
  std::optional<ScreenPoint> saved_;
  live::Timeout saveTimer_{nullptr};
  live::Timeout reopenTimer_{nullptr};
  std::vector<gulong> displayHandlers_;
  gulong screenHandler_ = 0;
};

GtkBackend::Impl::Impl(DesktopOptions options, Log log, std::function<void()> closed)
    : options_(std::move(options)),
      log_(std::move(log)),
      closed_(std::move(closed)),
      size_(render::widgetSize(options_.family)),
      kind_(surfaceKind(gdk_display_get_default())) {
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
  accessible_ = std::make_unique<AccessibleChildren>(canvas_, [this](const std::string& url) {
    if (open_) {
      open_(url);
    }
  });

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
      if (options_.positionFile) {
        saved_ = loadPosition(*options_.positionFile);
      }
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
  saveTimer_.cancel();
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

void GtkBackend::Impl::relayout(Date instant) {
  renderer_.measurer().beginFrame();
  auto list = layout::layoutWidget(
      scene_->view,
      layout::WidgetCanvas{size_, render::kContentMargin, render::kWidgetCornerRadius, instant},
      renderer_.measurer());
  if (!list) {
    log_("cannot lay out the widget: " + list.error().message);
    list_ = layout::DrawList{size_, {}};
  } else {
    list_ = scene_->redacted ? redacted(*list) : std::move(*list);
  }
  // The placeholder's buttons lead nowhere yet.
  links_ = scene_->redacted ? std::vector<layout::LinkRegion>{} : linkRegions(list_);
  accessible_->update(scene_->redacted ? std::vector<AccessibleNode>{} : accessibleTree(list_));
}

void GtkBackend::Impl::paint(cairo_t* cr) {
  // Every pixel outside the rounded card stays see-through.
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);
  if (!scene_) {
    return;
  }
  const auto look = appearance();
  renderer_.paint(cr, list_, look);
  if (pressed_ && *pressed_ < links_.size()) {
    const auto& box = links_[*pressed_].rect;
    const auto veil =
        render::resolve(platform::ui::Color::primary().opacity(kPressedOpacity), look);
    cairo_set_source_rgba(cr, veil.red, veil.green, veil.blue, veil.alpha);
    cairo_arc(cr, box.center().x, box.center().y, std::min(box.width, box.height) / 2, 0, 2 * G_PI);
    cairo_fill(cr);
  }
  if (!status_.empty()) {
    paintStatus(cr);
  }
}

void GtkBackend::Impl::paintStatus(cairo_t* cr) {
  const double width = size_.width - 2 * kStatusMargin;
  const double top = size_.height - kStatusMargin - kStatusHeight;
  cairo_save(cr);
  cairo_new_sub_path(cr);
  const double r = kStatusHeight / 2;
  cairo_arc(cr, kStatusMargin + width - r, top + r, r, -G_PI / 2, G_PI / 2);
  cairo_arc(cr, kStatusMargin + r, top + r, r, G_PI / 2, 3 * G_PI / 2);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 0.75, 0.12, 0.1, 0.92);
  cairo_fill(cr);
  PangoLayout* text = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("Sans");
  pango_font_description_set_absolute_size(font, kStatusFontSize * PANGO_SCALE);
  pango_layout_set_font_description(text, font);
  pango_font_description_free(font);
  pango_layout_set_text(text, status_.c_str(), -1);
  pango_layout_set_width(text, static_cast<int>((width - kStatusHeight) * PANGO_SCALE));
  pango_layout_set_ellipsize(text, PANGO_ELLIPSIZE_END);
  pango_layout_set_single_paragraph_mode(text, TRUE);
  int textWidth = 0;
  int textHeight = 0;
  pango_layout_get_pixel_size(text, &textWidth, &textHeight);
  cairo_move_to(cr, kStatusMargin + (width - textWidth) / 2,
                top + (kStatusHeight - textHeight) / 2);
  cairo_set_source_rgba(cr, 1, 1, 1, 1);
  pango_cairo_show_layout(cr, text);
  g_object_unref(text);
  cairo_restore(cr);
}

void GtkBackend::Impl::updateShape() {
  GdkScreen* screen = gtk_window_get_screen(GTK_WINDOW(window_));
  if (kind_ != SurfaceKind::x11 || gdk_screen_is_composited(screen)) {
    gtk_widget_shape_combine_region(window_, nullptr);
    return;
  }
  // Without a compositor nothing is see-through: cut the corners off instead.
  const int width = roundUp(size_.width);
  const int height = roundUp(size_.height);
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, width, height);
  cairo_t* cr = cairo_create(mask);
  const double r = render::kWidgetCornerRadius;
  cairo_new_sub_path(cr);
  cairo_arc(cr, width - r, r, r, -G_PI / 2, 0);
  cairo_arc(cr, width - r, height - r, r, 0, G_PI / 2);
  cairo_arc(cr, r, height - r, r, G_PI / 2, G_PI);
  cairo_arc(cr, r, r, r, G_PI, 3 * G_PI / 2);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_region_t* region = gdk_cairo_region_create_from_surface(mask);
  gtk_widget_shape_combine_region(window_, region);
  cairo_region_destroy(region);
  cairo_surface_destroy(mask);
}

void GtkBackend::Impl::queueLink(std::optional<std::size_t> link) {
  if (link && *link < links_.size()) {
    const auto box = coveringBox(links_[*link].rect);
    gtk_widget_queue_draw_area(canvas_, box.x, box.y, box.width, box.height);
  }
}

void GtkBackend::Impl::place() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = chooseMonitor(display, options_.output);
  if (kind_ == SurfaceKind::layerShell) {
    const bool wanted = options_.output && hasMonitor(display, *options_.output);
    moveLayerSurface(GTK_WINDOW(window_), wanted ? monitor : nullptr);
    return;
  }
  if (kind_ != SurfaceKind::x11) {
    return;
  }
  const int width = roundUp(size_.width);
  const int height = roundUp(size_.height);
  ScreenPoint origin =
      anchoredOrigin(options_.corner, options_.margin, workArea(monitor), width, height);
  if (saved_) {
    const auto areas = workAreas(display);
    if (const auto visible = visibleOrigin(*saved_, width, height, areas)) {
      origin = *visible;
    }
  }
  gtk_window_move(GTK_WINDOW(window_), origin.x, origin.y);
}

void GtkBackend::Impl::reopenLayerSurface() {
  // The compositor closed the surface (its output went away): offer it again.
  reopenTimer_.start(kReopenAfter, [this] {
    gtk_widget_hide(window_);
    place();
    gtk_widget_show_all(window_);
  });
}

void GtkBackend::Impl::rememberPosition() {
  if (!options_.positionFile) {
    return;
  }
  saveTimer_.start(kSaveAfter, [this] {
    int x = 0;
    int y = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
    saved_ = ScreenPoint{x, y};
    if (const auto failure = savePosition(*options_.positionFile, *saved_)) {
      log_(*failure);
    }
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
  auto* impl = static_cast<Impl*>(self);
  if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) {
    return FALSE;
  }
  impl->pressed_ = linkAt(impl->links_, {event->x, event->y});
  if (impl->pressed_) {
    impl->queueLink(impl->pressed_);
  } else if (impl->kind_ == SurfaceKind::x11) {
    impl->dragging_ = true;
    gtk_window_begin_move_drag(GTK_WINDOW(impl->window_), static_cast<gint>(event->button),
                               static_cast<gint>(event->x_root), static_cast<gint>(event->y_root),
                               event->time);
  }
  return TRUE;
}

gboolean GtkBackend::Impl::onRelease(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  if (event->button != GDK_BUTTON_PRIMARY) {
    return FALSE;
  }
  const auto pressed = std::exchange(impl->pressed_, std::nullopt);
  impl->queueLink(pressed);
  if (pressed && linkAt(impl->links_, {event->x, event->y}) == pressed && impl->open_) {
    // A copy: opening may show a new scene and replace the regions.
    const std::string url = impl->links_[*pressed].url;
    impl->open_(url);
  }
  return TRUE;
}

gboolean GtkBackend::Impl::onMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  const auto over = linkAt(impl->links_, {event->x, event->y});
  if (over.has_value() != impl->hovered_.has_value()) {
    GdkWindow* window = gtk_widget_get_window(widget);
    GdkCursor* cursor =
        over ? gdk_cursor_new_from_name(gdk_window_get_display(window), "pointer") : nullptr;
    gdk_window_set_cursor(window, cursor);
    if (cursor != nullptr) {
      g_object_unref(cursor);
    }
  }
  impl->hovered_ = over;
  return FALSE;
}

gboolean GtkBackend::Impl::onLeave(GtkWidget* widget, GdkEventCrossing*, gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  if (impl->hovered_) {
    gdk_window_set_cursor(gtk_widget_get_window(widget), nullptr);
    impl->hovered_.reset();
  }
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
  if (impl->dragging_) {
    impl->rememberPosition();
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
  impl_->pressed_.reset();
  impl_->relayout(instant);
  if (impl_->options_.logRedraws) {
    for (const auto& link : impl_->links_) {
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
  if (!impl_->scene_) {
    return;
  }
  const layout::DrawList before = impl_->list_;
  impl_->relayout(instant);
  const auto boxes = changedBoxes(before, impl_->list_);
  if (!boxes) {
    gtk_widget_queue_draw(impl_->canvas_);
    return;
  }
  if (const auto area = unite(*boxes)) {
    const auto box = coveringBox(*area);
    gtk_widget_queue_draw_area(impl_->canvas_, box.x, box.y, box.width, box.height);
  }
}

void GtkBackend::status(std::string_view message) {
  impl_->status_ = std::string(message);
  gtk_widget_queue_draw(impl_->canvas_);
}

}  // namespace velto::host::gtk
