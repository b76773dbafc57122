#include "gui/frame_keys.h"

#include <wx/accel.h>
#include <wx/control.h>
#include <wx/menuitem.h>
#include <wx/window.h>

#include <dlfcn.h>

#include <string>

namespace meshara {

namespace {

// Looked up in the toolkit already loaded with wx, so building needs none
// of its development files.
template <class F>
F Lookup(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}

// GDK's modifier bits.
constexpr unsigned kGdkShift = 1u << 0, kGdkControl = 1u << 2, kGdkAlt = 1u << 3;

bool WithinWidget(void* widget, void* container) {
    using IsAncestor = int (*)(void* widget, void* ancestor);
    static const auto isAncestor = Lookup<IsAncestor>("gtk_widget_is_ancestor");
    return widget && container && (widget == container || (isAncestor && isAncestor(widget, container)));
}

bool ControlWithin(wxWindow* parent, wxWindow* view, void* widget) {
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
    using GetChild = void* (*)(void* bin);
    using KeyFromName = unsigned (*)(const char* name);
    using KeyFromUnicode = unsigned (*)(uint32_t character);
    using SetAccel = void (*)(void* label, unsigned key, unsigned modifiers);
    using TypeOf = unsigned long (*)();
    using IsA = int (*)(void* instance, unsigned long type);
    const auto child = Lookup<GetChild>("gtk_bin_get_child");
    const auto fromName = Lookup<KeyFromName>("gdk_keyval_from_name");
    const auto fromUnicode = Lookup<KeyFromUnicode>("gdk_unicode_to_keyval");
    const auto set = Lookup<SetAccel>("gtk_accel_label_set_accel");
    const auto accelLabelType = Lookup<TypeOf>("gtk_accel_label_get_type");
    const auto isA = Lookup<IsA>("g_type_check_instance_is_a");
    if (!child || !fromName || !fromUnicode || !set || !accelLabelType || !isA) return;
    void* widget = item ? static_cast<void*>(item->GetMenuItem()) : nullptr;
    void* label = widget ? child(widget) : nullptr;
    if (!label || !isA(label, accelLabelType())) return;
    // wx's name of the key without its modifiers is GDK's too, but for characters.
    wxAcceleratorEntry bare(0, key.code);
    const unsigned keyval = key.code >= ' ' && key.code < 0x7f ? fromUnicode(static_cast<uint32_t>(key.code))
                                                               : fromName(bare.ToRawString().utf8_str());
    unsigned modifiers = 0;
    if (key.modifiers & wxMOD_SHIFT) modifiers |= kGdkShift;
    if (key.modifiers & wxMOD_CONTROL) modifiers |= kGdkControl;
    if (key.modifiers & wxMOD_ALT) modifiers |= kGdkAlt;
    set(label, keyval, modifiers);
}

bool ControlHasFocus(wxWindow* frame, wxWindow* view) {
    using GetFocus = void* (*)(void* window);
    static const auto getFocus = Lookup<GetFocus>("gtk_window_get_focus");
    void* widget = getFocus && frame ? getFocus(frame->GetHandle()) : nullptr;
    if (!widget || (view && WithinWidget(widget, view->GetHandle()))) return false;
    return ControlWithin(frame, view, widget);
}

}  // namespace meshara
