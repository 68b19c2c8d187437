#include "app/log_view_accessible.h"

#include "app/process_accessible.h"
#include "base/system_functions.h"

namespace {

const SystemFunctions& functions() { return systemFunctions(SYSTEM_FUNCTIONS_ACCESSIBILITY); }

// The edit control's standard object, answering as it does but for its own name. One object
// serves the view for the process's life; once the view has gone it answers that it is
// disconnected.
class NamedViewAccessible : public ProcessAccessible {
public:
    void setName(const wchar_t* name) { name_ = name; }
    bool connect(HWND view) {
        if (standard_) return true;
        if (!functions().createStdAccessibleObject) return false;
        void* object = NULL;
        if (FAILED(functions().createStdAccessibleObject(view, OBJID_CLIENT, __uuidof(IAccessible), &object)) || !object)
            return false;
        standard_ = static_cast<IAccessible*>(object);
        return true;
    }
    void disconnect() {
        if (standard_) standard_->Release();
        standard_ = NULL;
    }


    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        if (!standard_) return RPC_E_DISCONNECTED;
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF) return standard_->get_accName(child, name);
        if (!name) return E_POINTER;
        *name = functions().sysAllocString ? functions().sysAllocString(name_) : NULL;
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    // Everything else as the edit control's own object answers it.
    STDMETHODIMP get_accParent(IDispatch** parent) override {
        return standard_ ? standard_->get_accParent(parent) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accChildCount(long* count) override {
        return standard_ ? standard_->get_accChildCount(count) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** element) override {
        return standard_ ? standard_->get_accChild(child, element) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
        return standard_ ? standard_->get_accValue(child, value) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override {
        return standard_ ? standard_->get_accDescription(child, description) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        return standard_ ? standard_->get_accRole(child, role) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
        return standard_ ? standard_->get_accState(child, state) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override {
        return standard_ ? standard_->get_accHelp(child, help) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_ ? standard_->get_accHelpTopic(file, child, topic) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_ ? standard_->get_accKeyboardShortcut(child, shortcut) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accFocus(VARIANT* focus) override {
        return standard_ ? standard_->get_accFocus(focus) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accSelection(VARIANT* selection) override {
        return standard_ ? standard_->get_accSelection(selection) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_ ? standard_->get_accDefaultAction(child, action) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP accSelect(long flags, VARIANT child) override {
        return standard_ ? standard_->accSelect(flags, child) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return standard_ ? standard_->accLocation(left, top, width, height, child) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_ ? standard_->accNavigate(direction, start, end) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* hit) override {
        return standard_ ? standard_->accHitTest(x, y, hit) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        return standard_ ? standard_->accDoDefaultAction(child) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override {
        return standard_ ? standard_->put_accName(child, name) : RPC_E_DISCONNECTED;
    }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override {
        return standard_ ? standard_->put_accValue(child, value) : RPC_E_DISCONNECTED;
    }

private:
    IAccessible* standard_ = NULL;
    const wchar_t* name_ = L"";
};

// The read-only text views a reader names: the log view and the What To Do view.
struct NamedView {
    HWND view;
    WNDPROC editProc;
    NamedViewAccessible object;
} g_views[2];

LRESULT CALLBACK namedViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
    NamedView* named = NULL;
    for (NamedView& v : g_views)
        if (v.view == view) named = &v;
    if (!named) return DefWindowProcW(view, message, wParam, lParam);
    if (message == WM_GETOBJECT && LONG(lParam) == OBJID_CLIENT && functions().lresultFromObject &&
        named->object.connect(view)) {
        const LRESULT result =
            functions().lresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(&named->object));
        if (result > 0) return result;
    }
    // Ctrl+A selects the whole text, as in the text boxes of Windows' own tools (an edit control
    // of Windows XP has no such key), so that Ctrl+C then copies all of it.
    if (message == WM_CHAR && wParam == 1) {
        CallWindowProcW(named->editProc, view, EM_SETSEL, 0, -1);
        return 0;
    }
    const WNDPROC editProc = named->editProc;
    if (message == WM_NCDESTROY) {
        named->object.disconnect();
        named->view = NULL;
    }
    return CallWindowProcW(editProc, view, message, wParam, lParam);
}

}  // namespace

void nameViewForReaders(HWND view, const wchar_t* name) {
    if (!view) return;
    for (NamedView& v : g_views) {
        if (v.view == view) return;
        if (v.view) continue;
        v.object.setName(name);
        v.view = view;
        v.editProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(namedViewProc)));
        return;
    }
}
