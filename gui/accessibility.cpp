#include "gui/accessibility.h"

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

std::string AccessibleName(wxWindow* control) {
    const auto get = Lookup<GetName>("atk_object_get_name");
    void* accessible = AccessibleOf(control);
    const char* name = accessible && get ? get(accessible) : nullptr;
    return name ? name : "";
}

}  // namespace meshara
