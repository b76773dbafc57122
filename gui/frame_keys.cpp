#include "gui/frame_keys.h"

#include <wx/accel.h>
#include <wx/control.h>
#include <wx/menuitem.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <string>

namespace meshara {

namespace {

bool WithinWidget(GtkWidget* widget, GtkWidget* container) {
    return widget && container && (widget == container || gtk_widget_is_ancestor(widget, container));
}

bool ControlWithin(wxWindow* parent, wxWindow* view, GtkWidget* widget) {
    for (wxWindow* child : parent->GetChildren()) {
        if (child == view || child->IsTopLevel()) continue;
        if (child->IsKindOf(wxCLASSINFO(wxControl)) && WithinWidget(widget, child->GetHandle())) return true;
        if (ControlWithin(child, view, widget)) return true;
    }
    return false;
}

}  // namespace

FrameKey FrameKeyNamed(const char* name, int command) {
    wxAcceleratorEntry entry;
    const bool known = entry.FromString(name);
    wxASSERT_MSG(known, name);
    int modifiers = 0;
    if (entry.GetFlags() & wxACCEL_SHIFT) modifiers |= wxMOD_SHIFT;
    if (entry.GetFlags() & wxACCEL_CTRL) modifiers |= wxMOD_CONTROL;
    if (entry.GetFlags() & wxACCEL_ALT) modifiers |= wxMOD_ALT;
    return {modifiers, entry.GetKeyCode(), command};
}

bool Matches(const FrameKey& key, const wxKeyEvent& event) {
    const int modifiers = event.GetModifiers();
    if (key.code == '+' || key.code == '-') {
        // Wherever the layout puts the character, with Shift or without, or on
        // the keypad. wx reports the unshifted key (Shift+= as '='); the raw
        // code is GDK's key value, which for these characters is the character.
        if (modifiers & (wxMOD_CONTROL | wxMOD_ALT)) return false;
        const int code = event.GetKeyCode();
        return static_cast<int>(event.GetRawKeyCode()) == key.code ||
               code == (key.code == '+' ? WXK_NUMPAD_ADD : WXK_NUMPAD_SUBTRACT);
    }
    return event.GetKeyCode() == key.code && modifiers == key.modifiers;
}

void ShowFrameKey(wxMenuItem* item, const FrameKey& key) {
    GtkWidget* widget = item ? item->GetMenuItem() : nullptr;
    GtkWidget* label = widget && GTK_IS_BIN(widget) ? gtk_bin_get_child(GTK_BIN(widget)) : nullptr;
    if (!label || !GTK_IS_ACCEL_LABEL(label)) return;
    // wx's name of the key without its modifiers is GDK's too, but for characters.
    wxAcceleratorEntry bare(0, key.code);
    const unsigned keyval = key.code >= ' ' && key.code < 0x7f ? gdk_unicode_to_keyval(static_cast<guint32>(key.code))
                                                               : gdk_keyval_from_name(bare.ToRawString().utf8_str());
    unsigned modifiers = 0;
    if (key.modifiers & wxMOD_SHIFT) modifiers |= GDK_SHIFT_MASK;
    if (key.modifiers & wxMOD_CONTROL) modifiers |= GDK_CONTROL_MASK;
    if (key.modifiers & wxMOD_ALT) modifiers |= GDK_MOD1_MASK;
    gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), keyval, static_cast<GdkModifierType>(modifiers));
}

bool ControlHasFocus(wxWindow* frame, wxWindow* view) {
    GtkWidget* top = frame ? frame->GetHandle() : nullptr;
    GtkWidget* widget = top && GTK_IS_WINDOW(top) ? gtk_window_get_focus(GTK_WINDOW(top)) : nullptr;
    if (!widget || (view && WithinWidget(widget, view->GetHandle()))) return false;
    return ControlWithin(frame, view, widget);
}

}  // namespace meshara
