#include "gui/accessibility.h"

#include <wx/menuitem.h>
#include <wx/window.h>

#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <vector>

namespace meshara {

namespace {

// The calls are looked up in the toolkit already loaded with wx, so
// building needs none of its development files.
using GetAccessible = void* (*)(void* widget);
using SetName = void (*)(void* accessible, const char* name);
using GetName = const char* (*)(void* accessible);
using GType = unsigned long;
using TypeOf = GType (*)();

template <class F>
F Lookup(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}

void* AccessibleOfWidget(void* widget) {
    const auto get = Lookup<GetAccessible>("gtk_widget_get_accessible");
    return get && widget ? get(widget) : nullptr;
}

void* AccessibleOf(wxWindow* control) {
    return AccessibleOfWidget(control ? static_cast<void*>(control->GetHandle()) : nullptr);
}

// Whether an object is of the type a getter such as "gtk_container_get_type" names.
bool IsA(void* instance, const char* typeGetter) {
    using IsAType = int (*)(void* instance, GType type);
    const auto type = Lookup<TypeOf>(typeGetter);
    const auto isA = Lookup<IsAType>("g_type_check_instance_is_a");
    return instance && type && isA && isA(instance, type());
}

void SetRole(void* accessible, const char* role) {
    using RoleForName = int (*)(const char* name);
    using Set = void (*)(void* accessible, int role);
    const auto roleFor = Lookup<RoleForName>("atk_role_for_name");
    const auto set = Lookup<Set>("atk_object_set_role");
    if (accessible && roleFor && set) set(accessible, roleFor(role));
}

int StateNamed(const char* name) {
    const auto state = Lookup<int (*)(const char*)>("atk_state_type_for_name");
    return state ? state(name) : 0;
}

}  // namespace

void SetAccessibleName(wxWindow* control, const char* name) {
    const auto set = Lookup<SetName>("atk_object_set_name");
    if (!set) return;
    if (void* accessible = AccessibleOf(control)) set(accessible, name);
    // A list sits in a scrolled window: the table inside is what a screen
    // reader lands on, so it carries the name too.
    void* widget = control ? static_cast<void*>(control->GetHandle()) : nullptr;
    if (const auto child = Lookup<void* (*)(void*)>("gtk_bin_get_child"); child && IsA(widget, "gtk_scrolled_window_get_type"))
        if (void* inside = AccessibleOfWidget(child(widget))) set(inside, name);
}

void SetAccessibleDescription(wxWindow* control, const char* description) {
    const auto set = Lookup<SetName>("atk_object_set_description");
    if (void* accessible = AccessibleOf(control); accessible && set) set(accessible, description);
}

void SetStatusBarRole(wxWindow* control) { SetRole(AccessibleOf(control), "statusbar"); }

void SetDialogRole(wxWindow* dialog) { SetRole(AccessibleOf(dialog), "dialog"); }

void SetPictureRole(wxWindow* control) { SetRole(AccessibleOf(control), "image"); }

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

struct TypeQuery {
    GType type;
    const char* name;
    unsigned classSize;
    unsigned instanceSize;
};

void QueryType(GType type, TypeQuery& query) {
    if (const auto q = Lookup<void (*)(GType, TypeQuery*)>("g_type_query")) q(type, &query);
}

// The entry that makes an accessible's state set, in its class: the
// eleventh after the base object class, where every ATK 2 has kept it
// (name, description, parent, child count, child, index, relations, role,
// layer, z-order, states).
using RefStateSet = void* (*)(void* accessible);
RefStateSet* StateSetEntry(void* klass) {
    TypeQuery object{};
    if (const auto named = Lookup<GType (*)(const char*)>("g_type_from_name")) QueryType(named("GObject"), object);
    return reinterpret_cast<RefStateSet*>(static_cast<char*>(klass) + object.classSize + 10 * sizeof(void*));
}

void* ClassOf(void* instance) { return *static_cast<void**>(instance); }

void* ToggleStates(void* accessible) {
    const auto parentOf = Lookup<void* (*)(void*)>("g_type_class_peek_parent");
    const auto add = Lookup<int (*)(void*, int)>("atk_state_set_add_state");
    const auto data = Lookup<void* (*)(void*, const char*)>("g_object_get_data");
    void* states = (*StateSetEntry(parentOf(ClassOf(accessible))))(accessible);
    if (states && add && data) {
        add(states, StateNamed("checkable"));
        if (data(accessible, kOnKey)) add(states, StateNamed("checked"));
    }
    return states;
}

void ToggleClassInit(void* klass, void*) { *StateSetEntry(klass) = &ToggleStates; }

// Gives the accessible the derived class, once; false when the toolkit lacks what it takes.
bool MakeToggle(void* accessible) {
    const auto typeName = Lookup<const char* (*)(GType)>("g_type_name");
    const auto fromName = Lookup<GType (*)(const char*)>("g_type_from_name");
    const auto classRef = Lookup<void* (*)(GType)>("g_type_class_ref");
    using Register = GType (*)(GType parent, const char* name, unsigned classSize, void (*init)(void*, void*),
                               unsigned instanceSize, void (*instanceInit)(void*, void*), int flags);
    const auto registerType = Lookup<Register>("g_type_register_static_simple");
    if (!typeName || !fromName || !classRef || !registerType) return false;
    const GType type = *static_cast<GType*>(ClassOf(accessible));
    const std::string name = typeName(type);
    if (name.starts_with(kTogglePrefix)) return true;
    const std::string derivedName = kTogglePrefix + name;
    GType derived = fromName(derivedName.c_str());
    if (!derived) {
        TypeQuery query{};
        QueryType(type, query);
        if (query.classSize == 0) return false;
        derived = registerType(type, derivedName.c_str(), query.classSize, &ToggleClassInit, query.instanceSize, nullptr, 0);
    }
    // Adds no data of its own, so the object fits it as it is; the class is
    // held for the rest of the run.
    if (void* klass = derived ? classRef(derived) : nullptr) *static_cast<void**>(accessible) = klass;
    SetRole(accessible, "toggle button");
    return true;
}

}  // namespace

void SetToggleState(wxWindow* button, bool on) {
    void* accessible = AccessibleOf(button);
    const auto getData = Lookup<void* (*)(void*, const char*)>("g_object_get_data");
    const auto setData = Lookup<void (*)(void*, const char*, void*)>("g_object_set_data");
    const auto notify = Lookup<void (*)(void*, uint64_t, int)>("atk_object_notify_state_change");
    if (!accessible || !getData || !setData || !MakeToggle(accessible)) return;
    const bool was = getData(accessible, kOnKey) != nullptr;
    setData(accessible, kOnKey, on ? accessible : nullptr);
    // Readers that keep what they read are told of the change.
    if (was != on && notify) notify(accessible, static_cast<uint64_t>(StateNamed("checked")), on);
}

bool ToggleState(wxWindow* button) {
    const auto ref = Lookup<void* (*)(void*)>("atk_object_ref_state_set");
    const auto contains = Lookup<int (*)(void*, int)>("atk_state_set_contains_state");
    const auto unref = Lookup<void (*)(void*)>("g_object_unref");
    void* accessible = AccessibleOf(button);
    void* states = accessible && ref && contains && unref ? ref(accessible) : nullptr;
    if (!states) return false;
    const bool on = contains(states, StateNamed("checked"));
    unref(states);
    return on;
}

// ---- Message boxes -------------------------------------------------------------

namespace {

constexpr const char* kHiddenTipsKey = "meshara-hidden-tips";

using Callback = void (*)(void* widget, void* data);

// Every widget below widget whose tooltip is on: switched off and kept.
void SwitchTipsOff(void* widget, void* hidden) {
    const auto has = Lookup<int (*)(void*)>("gtk_widget_get_has_tooltip");
    const auto set = Lookup<void (*)(void*, int)>("gtk_widget_set_has_tooltip");
    const auto ref = Lookup<void* (*)(void*)>("g_object_ref");
    const auto forall = Lookup<void (*)(void*, Callback, void*)>("gtk_container_forall");
    if (!has || !set || !ref || !forall) return;
    if (has(widget)) {
        set(widget, 0);
        static_cast<std::vector<void*>*>(hidden)->push_back(ref(widget));
    }
    if (IsA(widget, "gtk_container_get_type")) forall(widget, &SwitchTipsOff, hidden);
}

void SwitchTipsBackOn(void* hidden) {
    const auto set = Lookup<void (*)(void*, int)>("gtk_widget_set_has_tooltip");
    const auto unref = Lookup<void (*)(void*)>("g_object_unref");
    auto* widgets = static_cast<std::vector<void*>*>(hidden);
    for (void* widget : *widgets) set(widget, 1), unref(widget);
    delete widgets;
}

struct GList {
    void* data;
    GList* next;
    GList* prev;
};

// While box is up no other window shows a tooltip; the tooltips come back
// when it goes (its "hide", or its end if it is never hidden).
void HideTooltipsWhileUp(void* box) {
    const auto toplevels = Lookup<GList* (*)()>("gtk_window_list_toplevels");
    const auto freeList = Lookup<void (*)(GList*)>("g_list_free");
    const auto widgetName = Lookup<const char* (*)(void*)>("gtk_widget_get_name");
    const auto hide = Lookup<void (*)(void*)>("gtk_widget_hide");
    const auto setData = Lookup<void (*)(void*, const char*, void*, void (*)(void*))>("g_object_set_data_full");
    using Connect = unsigned long (*)(void*, const char*, void (*)(void*, void*), void*, void*, int);
    const auto connect = Lookup<Connect>("g_signal_connect_data");
    if (!toplevels || !freeList || !widgetName || !hide || !setData || !connect) return;
    auto* hidden = new std::vector<void*>;
    GList* windows = toplevels();
    for (GList* w = windows; w; w = w->next) {
        if (w->data == box) continue;
        if (std::string(widgetName(w->data)) == "gtk-tooltip") hide(w->data);  // one already up
        else SwitchTipsOff(w->data, hidden);
    }
    freeList(windows);
    setData(box, kHiddenTipsKey, hidden, &SwitchTipsBackOn);
    connect(box, "hide", [](void* widget, void*) {
        if (const auto set = Lookup<void (*)(void*, const char*, void*)>("g_object_set_data")) set(widget, kHiddenTipsKey, nullptr);
    }, nullptr, nullptr, 0);
}

int OnWidgetShown(void*, unsigned, const void* params, void*) {
    const auto object = Lookup<void* (*)(const void*)>("g_value_get_object");
    const auto title = Lookup<const char* (*)(void*)>("gtk_window_get_title");
    const auto setName = Lookup<SetName>("atk_object_set_name");
    void* widget = object ? object(params) : nullptr;  // the first value is the widget shown
    if (!IsA(widget, "gtk_message_dialog_get_type")) return 1;
    if (const char* caption = title ? title(widget) : nullptr; caption && *caption && setName)
        if (void* accessible = AccessibleOfWidget(widget)) setName(accessible, caption);
    HideTooltipsWhileUp(widget);
    return 1;  // stay for the next one
}

}  // namespace

void WatchMessageBoxes() {
    static const bool watching = [] {
        const auto widgetType = Lookup<TypeOf>("gtk_widget_get_type");
        const auto classRef = Lookup<void* (*)(GType)>("g_type_class_ref");
        const auto lookup = Lookup<unsigned (*)(const char*, GType)>("g_signal_lookup");
        using Hook = int (*)(void*, unsigned, const void*, void*);
        const auto addHook = Lookup<unsigned long (*)(unsigned, unsigned, Hook, void*, void (*)(void*))>(
            "g_signal_add_emission_hook");
        if (!widgetType || !classRef || !lookup || !addHook) return false;
        classRef(widgetType());  // its signals exist once its class does
        const unsigned shown = lookup("show", widgetType());
        return shown != 0 && addHook(shown, 0, &OnWidgetShown, nullptr, nullptr) != 0;
    }();
    (void)watching;
}

}  // namespace meshara
