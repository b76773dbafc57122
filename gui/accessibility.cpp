#include "gui/accessibility.h"

#include <wx/window.h>

#include <atk/atk.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace meshara {

namespace {

AtkObject* AccessibleOfWidget(GtkWidget* widget) { return widget ? gtk_widget_get_accessible(widget) : nullptr; }

AtkObject* AccessibleOf(wxWindow* control) { return AccessibleOfWidget(control ? control->GetHandle() : nullptr); }

void SetRole(wxWindow* control, AtkRole role) {
    if (AtkObject* accessible = AccessibleOf(control)) atk_object_set_role(accessible, role);
}

}  // namespace

void SetAccessibleName(wxWindow* control, const char* name) {
    if (AtkObject* accessible = AccessibleOf(control)) atk_object_set_name(accessible, name);
    // A list sits in a scrolled window: the table inside is what a screen
    // reader lands on, so it carries the name too.
    GtkWidget* widget = control ? control->GetHandle() : nullptr;
    if (widget && GTK_IS_SCROLLED_WINDOW(widget))
        if (AtkObject* inside = AccessibleOfWidget(gtk_bin_get_child(GTK_BIN(widget)))) atk_object_set_name(inside, name);
}

void SetAccessibleDescription(wxWindow* control, const char* description) {
    if (AtkObject* accessible = AccessibleOf(control)) atk_object_set_description(accessible, description);
}

void SetStatusBarRole(wxWindow* control) { SetRole(control, ATK_ROLE_STATUSBAR); }

void SetDialogRole(wxWindow* dialog) { SetRole(dialog, ATK_ROLE_DIALOG); }

void SetPictureRole(wxWindow* control) { SetRole(control, ATK_ROLE_IMAGE); }

std::string AccessibleName(wxWindow* control) {
    AtkObject* accessible = AccessibleOf(control);
    const char* name = accessible ? atk_object_get_name(accessible) : nullptr;
    return name ? name : "";
}

// ---- Toggle buttons ----------------------------------------------------------
//
// The toolkit's button accessible knows no checked state, and which state to
// report is the program's, not the widget's. So the accessible of such a
// button is given a class of its own, derived from the one it has: the same
// object with the same data, whose state set adds "checkable" and, while on,
// "checked".

namespace {

constexpr const char* kOnKey = "meshara-toggle-on";
constexpr const char* kTogglePrefix = "MesharaToggle";

AtkStateSet* ToggleStates(AtkObject* accessible) {
    // The derived class sits right above the one the toolkit gave, whose
    // states are the rest of the set.
    const auto* parent = ATK_OBJECT_CLASS(g_type_class_peek_parent(ATK_OBJECT_GET_CLASS(accessible)));
    AtkStateSet* states = parent->ref_state_set(accessible);
    if (states) {
        atk_state_set_add_state(states, ATK_STATE_CHECKABLE);
        if (g_object_get_data(G_OBJECT(accessible), kOnKey)) atk_state_set_add_state(states, ATK_STATE_CHECKED);
    }
    return states;
}

void ToggleClassInit(gpointer klass, gpointer) { ATK_OBJECT_CLASS(klass)->ref_state_set = &ToggleStates; }

// Gives the accessible the derived class, once; false when its type cannot be derived from.
bool MakeToggle(AtkObject* accessible) {
    const GType type = G_OBJECT_TYPE(accessible);
    const std::string name = g_type_name(type);
    if (name.starts_with(kTogglePrefix)) return true;
    const std::string derivedName = kTogglePrefix + name;
    GType derived = g_type_from_name(derivedName.c_str());
    if (!derived) {
        GTypeQuery query{};
        g_type_query(type, &query);
        if (query.class_size == 0) return false;
        derived = g_type_register_static_simple(type, derivedName.c_str(), query.class_size,
                                                &ToggleClassInit, query.instance_size, nullptr, GTypeFlags{});
    }
    // Adds no data of its own, so the object fits it as it is; the class is
    // held for the rest of the run.
    if (derived) reinterpret_cast<GTypeInstance*>(accessible)->g_class = static_cast<GTypeClass*>(g_type_class_ref(derived));
    atk_object_set_role(accessible, ATK_ROLE_TOGGLE_BUTTON);
    return true;
}

}  // namespace

void SetToggleState(wxWindow* button, bool on) {
    AtkObject* accessible = AccessibleOf(button);
    if (!accessible || !MakeToggle(accessible)) return;
    const bool was = g_object_get_data(G_OBJECT(accessible), kOnKey) != nullptr;
    g_object_set_data(G_OBJECT(accessible), kOnKey, on ? accessible : nullptr);
    // Readers that keep what they read are told of the change.
    if (was != on) atk_object_notify_state_change(accessible, ATK_STATE_CHECKED, on);
}

bool ToggleState(wxWindow* button) {
    AtkObject* accessible = AccessibleOf(button);
    AtkStateSet* states = accessible ? atk_object_ref_state_set(accessible) : nullptr;
    if (!states) return false;
    const bool on = atk_state_set_contains_state(states, ATK_STATE_CHECKED);
    g_object_unref(states);
    return on;
}

// ---- Message boxes -------------------------------------------------------------

namespace {

constexpr const char* kHiddenTipsKey = "meshara-hidden-tips";

using Widgets = std::vector<GtkWidget*>;

// Every widget below widget whose tooltip is on: switched off and kept.
void SwitchTipsOff(GtkWidget* widget, gpointer hidden) {
    if (gtk_widget_get_has_tooltip(widget)) {
        gtk_widget_set_has_tooltip(widget, false);
        static_cast<Widgets*>(hidden)->push_back(GTK_WIDGET(g_object_ref(widget)));
    }
    if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), &SwitchTipsOff, hidden);
}

void SwitchTipsBackOn(gpointer hidden) {
    auto* widgets = static_cast<Widgets*>(hidden);
    for (GtkWidget* widget : *widgets) gtk_widget_set_has_tooltip(widget, true), g_object_unref(widget);
    delete widgets;
}

void OnBoxHidden(GtkWidget* box, gpointer) { g_object_set_data(G_OBJECT(box), kHiddenTipsKey, nullptr); }

// While box is up no other window shows a tooltip; the tooltips come back
// when it goes (its "hide", or its end if it is never hidden).
void HideTooltipsWhileUp(GtkWidget* box) {
    auto* hidden = new Widgets;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        auto* window = static_cast<GtkWidget*>(w->data);
        if (window == box) continue;
        if (std::string(gtk_widget_get_name(window)) == "gtk-tooltip") gtk_widget_hide(window);  // one already up
        else SwitchTipsOff(window, hidden);
    }
    g_list_free(windows);
    g_object_set_data_full(G_OBJECT(box), kHiddenTipsKey, hidden, &SwitchTipsBackOn);
    g_signal_connect(box, "hide", G_CALLBACK(&OnBoxHidden), nullptr);
}

gboolean OnWidgetShown(GSignalInvocationHint*, guint, const GValue* params, gpointer) {
    auto* widget = static_cast<GtkWidget*>(g_value_get_object(&params[0]));
    if (!widget || !GTK_IS_MESSAGE_DIALOG(widget)) return true;
    if (const char* caption = gtk_window_get_title(GTK_WINDOW(widget)); caption && *caption)
        if (AtkObject* accessible = AccessibleOfWidget(widget)) atk_object_set_name(accessible, caption);
    HideTooltipsWhileUp(widget);
    return true;  // stay for the next one
}

}  // namespace

void WatchMessageBoxes() {
    static const bool watching = [] {
        g_type_class_ref(GTK_TYPE_WIDGET);  // its signals exist once its class does
        const guint shown = g_signal_lookup("show", GTK_TYPE_WIDGET);
        return shown != 0 && g_signal_add_emission_hook(shown, 0, &OnWidgetShown, nullptr, nullptr) != 0;
    }();
    (void)watching;
}

}  // namespace meshara
