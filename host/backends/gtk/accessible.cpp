#include "host/backends/gtk/accessible.hpp"

#include <new>

#include <gtk/gtk-a11y.h>

namespace velto::host::gtk {
namespace {

/// What one accessible node knows; lives inside its GObject instance.
struct NodeState {
  AccessibleNode node;
  GtkWidget* canvas = nullptr;  // weak: the canvas outlives its children
  PressLink press;
};

}  // namespace
}  // namespace velto::host::gtk

using velto::host::gtk::AccessibleChildren;
using velto::host::gtk::AccessibleNode;
using velto::host::gtk::NodeState;

extern "C" {

struct VeltoAccessibleNode {
  AtkObject parent;
  NodeState state;
};
struct VeltoAccessibleNodeClass {
  AtkObjectClass parent;
};

static void velto_accessible_node_action_init(AtkActionIface* iface);
static void velto_accessible_node_component_init(AtkComponentIface* iface);

G_DEFINE_TYPE_WITH_CODE(VeltoAccessibleNode, velto_accessible_node, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, velto_accessible_node_action_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT,
                                                  velto_accessible_node_component_init))

static NodeState& nodeState(gpointer object) {
  return G_TYPE_CHECK_INSTANCE_CAST(object, velto_accessible_node_get_type(), VeltoAccessibleNode)
      ->state;
}

static void velto_accessible_node_init(VeltoAccessibleNode* self) {
  new (&self->state) NodeState();
}

static void velto_accessible_node_finalize(GObject* object) {
  nodeState(object).~NodeState();
  G_OBJECT_CLASS(velto_accessible_node_parent_class)->finalize(object);
}

static AtkStateSet* velto_accessible_node_ref_state_set(AtkObject* object) {
  AtkStateSet* states = ATK_OBJECT_CLASS(velto_accessible_node_parent_class)->ref_state_set(object);
  atk_state_set_add_state(states, ATK_STATE_VISIBLE);
  atk_state_set_add_state(states, ATK_STATE_SHOWING);
  if (nodeState(object).node.role == AccessibleNode::Role::button) {
    atk_state_set_add_state(states, ATK_STATE_ENABLED);
    atk_state_set_add_state(states, ATK_STATE_SENSITIVE);
  }
  return states;
}

static void velto_accessible_node_class_init(VeltoAccessibleNodeClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = velto_accessible_node_finalize;
  ATK_OBJECT_CLASS(klass)->ref_state_set = velto_accessible_node_ref_state_set;
}

static gint action_count(AtkAction* action) {
  return nodeState(action).node.role == AccessibleNode::Role::button ? 1 : 0;
}

static gboolean press_later(gpointer object) {
  const NodeState& state = nodeState(object);
  if (state.press) {
    state.press(state.node.url);
  }
  return G_SOURCE_REMOVE;
}

static gboolean do_action(AtkAction* action, gint index) {
  if (index != 0 || action_count(action) == 0) {
    return FALSE;
  }
  // An assistive technology waits on this call; the link opens from the loop.
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, press_later, g_object_ref(action), g_object_unref);
  return TRUE;
}

static const gchar* action_name(AtkAction* action, gint index) {
  return index == 0 && action_count(action) == 1 ? "click" : nullptr;
}

static const gchar* action_description(AtkAction* action, gint index) {
  return index == 0 && action_count(action) == 1 ? nodeState(action).node.description.c_str()
                                                 : nullptr;
}

static void velto_accessible_node_action_init(AtkActionIface* iface) {
  iface->get_n_actions = action_count;
  iface->do_action = do_action;
  iface->get_name = action_name;
  iface->get_description = action_description;
}

static void get_extents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                        AtkCoordType coordinates) {
  const NodeState& state = nodeState(component);
  const auto& box = state.node.box;
  gint originX = 0;
  gint originY = 0;
  GdkWindow* window = state.canvas != nullptr ? gtk_widget_get_window(state.canvas) : nullptr;
  if (window != nullptr) {
    if (coordinates == ATK_XY_SCREEN) {
      gdk_window_get_origin(window, &originX, &originY);
    } else {
      gtk_widget_translate_coordinates(state.canvas, gtk_widget_get_toplevel(state.canvas), 0, 0,
                                       &originX, &originY);
    }
  }
  *x = originX + static_cast<gint>(box.x);
  *y = originY + static_cast<gint>(box.y);
  *width = static_cast<gint>(box.width + 0.5);
  *height = static_cast<gint>(box.height + 0.5);
}

static void velto_accessible_node_component_init(AtkComponentIface* iface) {
  iface->get_extents = get_extents;
}

struct VeltoCanvasAccessible {
  GtkWidgetAccessible parent;
};
struct VeltoCanvasAccessibleClass {
  GtkWidgetAccessibleClass parent;
};

G_DEFINE_TYPE(VeltoCanvasAccessible, velto_canvas_accessible, GTK_TYPE_WIDGET_ACCESSIBLE)

// Whoever asks for the children or the description gets them up to date.
static AccessibleChildren* canvasChildren(AtkObject* object) {
  GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(object));
  auto* children = widget != nullptr ? static_cast<AccessibleChildren*>(
                       g_object_get_data(G_OBJECT(widget), "velto-accessible-children"))
                                     : nullptr;
  if (children != nullptr) {
    children->asked();
  }
  return children;
}

static gint canvas_child_count(AtkObject* object) {
  const auto* children = canvasChildren(object);
  return children != nullptr ? static_cast<gint>(children->size()) : 0;
}

static const gchar* canvas_description(AtkObject* object) {
  canvasChildren(object);
  return ATK_OBJECT_CLASS(velto_canvas_accessible_parent_class)->get_description(object);
}

static AtkObject* canvas_ref_child(AtkObject* object, gint index) {
  const auto* children = canvasChildren(object);
  if (children == nullptr || index < 0 || static_cast<std::size_t>(index) >= children->size()) {
    return nullptr;
  }
  return ATK_OBJECT(g_object_ref(children->at(static_cast<std::size_t>(index))));
}

static void velto_canvas_accessible_init(VeltoCanvasAccessible*) {}

static void velto_canvas_accessible_class_init(VeltoCanvasAccessibleClass* klass) {
  ATK_OBJECT_CLASS(klass)->get_n_children = canvas_child_count;
  ATK_OBJECT_CLASS(klass)->ref_child = canvas_ref_child;
  ATK_OBJECT_CLASS(klass)->get_description = canvas_description;
}

struct VeltoCanvas {
  GtkDrawingArea parent;
};
struct VeltoCanvasClass {
  GtkDrawingAreaClass parent;
};

G_DEFINE_TYPE(VeltoCanvas, velto_canvas, GTK_TYPE_DRAWING_AREA)

static void velto_canvas_init(VeltoCanvas*) {}

static void velto_canvas_class_init(VeltoCanvasClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), velto_canvas_accessible_get_type());
  gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(klass), ATK_ROLE_PANEL);
}

}  // extern "C"

namespace velto::host::gtk {

GtkWidget* newAccessibleCanvas() {
  return GTK_WIDGET(g_object_new(velto_canvas_get_type(), nullptr));
}

namespace {

AtkRole atkRole(AccessibleNode::Role role) {
  switch (role) {
    case AccessibleNode::Role::text:
      return ATK_ROLE_LABEL;
    case AccessibleNode::Role::button:
      return ATK_ROLE_PUSH_BUTTON;
  }
  return ATK_ROLE_LABEL;
}

}  // namespace

AtkObject* newAccessibleNode(const AccessibleNode& node, GtkWidget* canvas, PressLink press) {
  AtkObject* object = ATK_OBJECT(g_object_new(velto_accessible_node_get_type(), nullptr));
  NodeState& state = nodeState(object);
  state.canvas = canvas;
  state.press = std::move(press);
  atk_object_set_role(object, atkRole(node.role));
  updateAccessibleNode(object, node);
  return object;
}

void updateAccessibleNode(AtkObject* object, const AccessibleNode& node) {
  NodeState& state = nodeState(object);
  const bool renamed = state.node.name != node.name || atk_object_get_name(object) == nullptr;
  const bool redescribed =
      state.node.description != node.description || atk_object_get_description(object) == nullptr;
  state.node = node;
  if (renamed) {
    atk_object_set_name(object, node.name.c_str());
  }
  if (redescribed) {
    atk_object_set_description(object, node.description.c_str());
  }
}

AccessibleChildren::AccessibleChildren(GtkWidget* canvas, PressLink press)
    : canvas_(canvas), press_(std::move(press)) {
  g_object_set_data(G_OBJECT(canvas_), "velto-accessible-children", this);
}

AccessibleChildren::~AccessibleChildren() {
  g_object_set_data(G_OBJECT(canvas_), "velto-accessible-children", nullptr);
}

void AccessibleChildren::update(const std::vector<AccessibleNode>& nodes) {
  describeCanvas(nodes);
  const auto sameShape = [&] {
    if (nodes.size() != nodes_.size()) {
      return false;
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      if (nodes[i].role != nodes_[i].role || nodes[i].url != nodes_[i].url) {
        return false;
      }
    }
    return true;
  };
  if (sameShape()) {
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      updateAccessibleNode(objects_[i].get(), nodes[i]);
    }
    nodes_ = nodes;
    return;
  }
  AtkObject* parent = gtk_widget_get_accessible(canvas_);
  for (std::size_t i = objects_.size(); i-- > 0;) {
    g_signal_emit_by_name(parent, "children-changed::remove", static_cast<guint>(i),
                          objects_[i].get());
  }
  objects_.clear();
  nodes_ = nodes;
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    AtkObject* object = newAccessibleNode(nodes_[i], canvas_, press_);
    atk_object_set_parent(object, parent);
    objects_.emplace_back(object);
    g_signal_emit_by_name(parent, "children-changed::add", static_cast<guint>(i), object);
  }
}

void AccessibleChildren::changed(std::function<std::vector<AccessibleNode>()> source) {
  source_ = std::move(source);
  stale_ = true;
  if (read_) {
    asked();
  }
}

void AccessibleChildren::asked() {
  read_ = true;
  if (stale_ && source_) {
    stale_ = false;
    update(source_());
  }
}

void AccessibleChildren::describeCanvas(const std::vector<AccessibleNode>& nodes) {
  AtkObject* canvas = gtk_widget_get_accessible(canvas_);
  const char* name = atk_object_get_name(canvas);
  std::string summary = widgetSummary(nodes, name != nullptr ? name : "");
  if (summary != summary_) {
    summary_ = std::move(summary);
    atk_object_set_description(canvas, summary_.c_str());
  }
}

}  // namespace velto::host::gtk
