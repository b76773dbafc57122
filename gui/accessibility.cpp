#include "gui/accessibility.h"

#include <wx/menuitem.h>
#include <wx/window.h>

#include <dlfcn.h>

namespace meshara {

namespace {

// The two calls are looked up in the toolkit already loaded with wx, so
// building needs none of its development files.
using GetAccessible = void* (*)(void* widget);
using SetName = void (*)(void* accessible, const char* name);
using GetName = const char* (*)(void* accessible);

template <class F>
F Lookup(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}

void* AccessibleOf(wxWindow* control) {
    const auto get = Lookup<GetAccessible>("gtk_widget_get_accessible");
    void* widget = control ? static_cast<void*>(control->GetHandle()) : nullptr;
    return get && widget ? get(widget) : nullptr;
}

}  // namespace

void SetAccessibleName(wxWindow* control, const char* name) {
    const auto set = Lookup<SetName>("atk_object_set_name");
    if (void* accessible = AccessibleOf(control); accessible && set) set(accessible, name);
}

void SetAccessibleDescription(wxWindow* control, const char* description) {
    const auto set = Lookup<SetName>("atk_object_set_description");
    if (void* accessible = AccessibleOf(control); accessible && set) set(accessible, description);
}

void SetStatusBarRole(wxWindow* control) {
    using RoleForName = int (*)(const char* name);
    using SetRole = void (*)(void* accessible, int role);
    const auto role = Lookup<RoleForName>("atk_role_for_name");
    const auto set = Lookup<SetRole>("atk_object_set_role");
    if (void* accessible = AccessibleOf(control); accessible && role && set) set(accessible, role("statusbar"));
}

std::string AccessibleName(wxWindow* control) {
    const auto get = Lookup<GetName>("atk_object_get_name");
    void* accessible = AccessibleOf(control);
    const char* name = accessible && get ? get(accessible) : nullptr;
    return name ? name : "";
}

void ShowMenuKey(wxMenuItem* item, const char* keyName) {
    using GetChild = void* (*)(void* bin);
    using KeyFromName = unsigned (*)(const char* name);
    using SetAccel = void (*)(void* label, unsigned key, unsigned modifiers);
    using TypeOf = unsigned long (*)();
    using IsA = int (*)(void* instance, unsigned long type);
    const auto child = Lookup<GetChild>("gtk_bin_get_child");
    const auto keyval = Lookup<KeyFromName>("gdk_keyval_from_name");
    const auto set = Lookup<SetAccel>("gtk_accel_label_set_accel");
    const auto accelLabelType = Lookup<TypeOf>("gtk_accel_label_get_type");
    const auto isA = Lookup<IsA>("g_type_check_instance_is_a");
    if (!child || !keyval || !set || !accelLabelType || !isA) return;
    void* widget = item ? static_cast<void*>(item->GetMenuItem()) : nullptr;
    void* label = widget ? child(widget) : nullptr;
    if (label && isA(label, accelLabelType())) set(label, keyval(keyName), 0);
}

}  // namespace meshara
