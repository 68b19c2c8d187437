#include "app/panel_accessible.h"

#include <wchar.h>

#include "app/app_state.h"
#include "app/device_list_commands.h"
#include "app/device_list_panel.h"
#include "app/panel_focus.h"
#include "app/process_accessible.h"
#include "base/system_functions.h"
#include "base/text.h"
#include "sources/store/endpoint_store.h"

namespace {

// oleacc's and oleaut32's functions, found at run time; null where Windows lacks them.
const SystemFunctions& functions() { return systemFunctions(SYSTEM_FUNCTIONS_ACCESSIBILITY); }

const wchar_t kListName[] = L"Device List";
const wchar_t kDefaultAction[] = L"Open menu";
enum { TEXT_CAPACITY = 512 };

HRESULT textOut(BSTR* out, const wchar_t* text) {
    if (!out) return E_POINTER;
    *out = functions().sysAllocString ? functions().sysAllocString(text) : NULL;
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT noText(BSTR* out) {
    if (!out) return E_POINTER;
    *out = NULL;
    return S_FALSE;
}

void append(wchar_t* text, const wchar_t* part) {
    if (!part[0]) return;
    const size_t used = wcslen(text);
    if (used) _snwprintf(text + used, TEXT_CAPACITY - used, L", %ls", part);
    else copyText(text, part, TEXT_CAPACITY);
    text[TEXT_CAPACITY - 1] = 0;
}

// The second text line, the badges in words and why the format line is drawn apart.
void describe(const EndpointRegistryRecord& record, wchar_t* text) {
    text[0] = 0;
    append(text, record.adapterName);
    if (record.flags & ENDPOINT_EXCLUSIVE_ON) append(text, L"exclusive mode allowed");
    if (record.flags & ENDPOINT_PRIORITY_ON) append(text, L"exclusive mode has priority");
    if (formatDiffersFromDefault(record)) append(text, L"the format differs from the default");
}

void setChild(VARIANT* out, int child) {
    out->vt = VT_I4;
    out->lVal = child;
}

// The list of boxes. One object serves the window for its life; it reads the panel as it is at
// each call, so a reader always sees what is painted.
class PanelAccessible : public ProcessAccessible {
public:
    void connect(HWND window) { window_ = window; }
    void disconnect() { window_ = NULL; }


    STDMETHODIMP get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = NULL;
        if (!connected()) return RPC_E_DISCONNECTED;
        if (!functions().createStdAccessibleObject) return S_FALSE;
        return functions().createStdAccessibleObject(window_, OBJID_WINDOW, __uuidof(IDispatch),
                                                     reinterpret_cast<void**>(parent));
    }
    STDMETHODIMP get_accChildCount(long* count) override {
        if (!count) return E_POINTER;
        *count = connected() ? boxCount() : 0;
        return connected() ? S_OK : RPC_E_DISCONNECTED;
    }
    // The boxes are simple elements, not objects of their own.
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** element) override {
        if (!element) return E_POINTER;
        *element = NULL;
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        return box.none() ? E_INVALIDARG : S_FALSE;
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        if (box.none()) return textOut(name, kListName);
        // A row without this endpoint has an empty box: it says so.
        wchar_t text[TEXT_CAPACITY];
        _snwprintf(text, TEXT_CAPACITY, L"%ls: %ls", box.playback() ? L"Playback" : L"Recording",
                   panelBoxHasDevice(box) ? panelRecord(box)->endpointDescription : L"no device");
        text[TEXT_CAPACITY - 1] = 0;
        return textOut(name, text);
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        if (box.none() || !panelBoxHasDevice(box)) return noText(value);
        wchar_t line[FORMAT_LINE_CAPACITY];
        formatLineText(*panelRecord(box), line, FORMAT_LINE_CAPACITY);
        return textOut(value, line);
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override {
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        if (box.none()) return noText(description);
        wchar_t text[TEXT_CAPACITY];
        describe(*panelRecord(box), text);
        return textOut(description, text);
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        setChild(role, box.none() ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM);
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        const bool focused = GetFocus() == window_;
        const bool focusedBox = !box.none() && box == g_app.panelFocus;
        long flags = STATE_SYSTEM_FOCUSABLE;
        if (!box.none()) flags |= STATE_SYSTEM_SELECTABLE | (focusedBox ? STATE_SYSTEM_SELECTED : 0);
        // An empty box is passed over by the keys.
        if (!box.none() && !panelBoxHasDevice(box)) flags = STATE_SYSTEM_UNAVAILABLE;
        if (focused && (focusedBox || (box.none() && !panelBoxLoaded(g_app.panelFocus)))) flags |= STATE_SYSTEM_FOCUSED;
        setChild(state, flags);
        return S_OK;
    }
    STDMETHODIMP get_accHelp(VARIANT, BSTR* help) override { return noText(help); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (topic) *topic = 0;
        return noText(file);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override { return noText(shortcut); }
    STDMETHODIMP get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        VariantInitEmpty(focus);
        if (!connected()) return RPC_E_DISCONNECTED;
        if (GetFocus() != window_) return S_FALSE;
        const PanelBox box = g_app.panelFocus;
        setChild(focus, panelBoxLoaded(box) && g_app.shownView == VIEW_DEVICE_LIST ? box.number : CHILDID_SELF);
        return S_OK;
    }
    STDMETHODIMP get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        VariantInitEmpty(selection);
        if (!connected()) return RPC_E_DISCONNECTED;
        if (g_app.shownView != VIEW_DEVICE_LIST || !panelBoxLoaded(g_app.panelFocus)) return S_FALSE;
        setChild(selection, g_app.panelFocus.number);
        return S_OK;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        return box.none() ? noText(action) : textOut(action, kDefaultAction);
    }
    STDMETHODIMP accSelect(long flags, VARIANT child) override {
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        if (box.none() || (flags & ~(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION)) || !flags) return E_INVALIDARG;
        if (flags & SELFLAG_TAKEFOCUS) SetFocus(window_);
        focusPanelBox(window_, box);
        return S_OK;
    }
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        RECT r;
        if (!box.none()) r = panelBoxRect(box, g_app.dpi);
        else GetClientRect(window_, &r);
        POINT corner = {r.left, r.top};
        ClientToScreen(window_, &corner);
        *left = corner.x;
        *top = corner.y;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        VariantInitEmpty(end);
        PanelBox box;
        const HRESULT checked = boxOf(start, &box);
        if (checked != S_OK) return checked;
        const int count = boxCount();
        PanelBox next = NO_PANEL_BOX;
        if (box.none()) {
            if (direction == NAVDIR_FIRSTCHILD) next = panelBoxAt(0);
            if (direction == NAVDIR_LASTCHILD) next = panelBoxAt(count - 1);
        } else {
            switch (direction) {
            case NAVDIR_NEXT: next = panelBoxAt(box.index() + 1); break;
            case NAVDIR_PREVIOUS: next = panelBoxAt(box.index() - 1); break;
            case NAVDIR_UP: next = neighbourBox(box, VK_UP); break;
            case NAVDIR_DOWN: next = neighbourBox(box, VK_DOWN); break;
            case NAVDIR_LEFT: next = neighbourBox(box, VK_LEFT); break;
            case NAVDIR_RIGHT: next = neighbourBox(box, VK_RIGHT); break;
            default: return E_INVALIDARG;
            }
            if (next == box) next = NO_PANEL_BOX;
        }
        if (next.none()) return S_FALSE;
        setChild(end, next.number);
        return S_OK;
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* hit) override {
        if (!hit) return E_POINTER;
        VariantInitEmpty(hit);
        if (!connected()) return RPC_E_DISCONNECTED;
        POINT at = {x, y};
        ScreenToClient(window_, &at);
        RECT client;
        GetClientRect(window_, &client);
        if (at.x < client.left || at.y < client.top || at.x >= client.right || at.y >= client.bottom) return S_FALSE;
        const PanelBox box = g_app.shownView == VIEW_DEVICE_LIST ? hitTestPanel(at.x, at.y, g_app.dpi) : NO_PANEL_BOX;
        setChild(hit, box.none() ? CHILDID_SELF : box.number);
        return S_OK;
    }
    // The menu opens after the call has returned: a reader is not kept waiting for the user.
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        PanelBox box;
        const HRESULT checked = boxOf(child, &box);
        if (checked != S_OK) return checked;
        if (box.none()) return DISP_E_MEMBERNOTFOUND;
        PostMessageW(window_, WM_PANEL_OPEN_MENU, WPARAM(box.number), 0);
        return S_OK;
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    bool connected() const { return window_ && IsWindow(window_); }
    static int boxCount() { return g_app.shownView == VIEW_DEVICE_LIST ? panelBoxCount() : 0; }
    static void VariantInitEmpty(VARIANT* v) { v->vt = VT_EMPTY; }
    // The box a child names (none for the list itself), or why there is none.
    HRESULT boxOf(const VARIANT& child, PanelBox* box) const {
        if (!connected()) return RPC_E_DISCONNECTED;
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (child.lVal == CHILDID_SELF) {
            *box = NO_PANEL_BOX;
            return S_OK;
        }
        *box = child.lVal > 0 && child.lVal <= boxCount() ? panelBoxAt(child.lVal - 1) : NO_PANEL_BOX;
        return box->none() ? E_INVALIDARG : S_OK;
    }

    HWND window_ = NULL;
} g_panelObject;

}  // namespace

LRESULT answerPanelObject(HWND window, WPARAM wParam, LPARAM lParam) {
    if (LONG(lParam) != OBJID_CLIENT || !functions().lresultFromObject) return 0;
    g_panelObject.connect(window);
    const LRESULT result = functions().lresultFromObject(__uuidof(IAccessible), wParam,
                                                         static_cast<IAccessible*>(&g_panelObject));
    return result > 0 ? result : 0;
}

void disconnectPanelObject() { g_panelObject.disconnect(); }

