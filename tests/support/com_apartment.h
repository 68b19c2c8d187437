// COM on the test's thread for the owner's scope, left again only when this start succeeded: for
// tests that read the checker through COM (a screen reader's objects, the endpoint enumerator).
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleacc.h>

#include <string>

class ComApartment {
public:
    ComApartment() : result_(CoInitialize(NULL)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

// What a screen reader reads of a window's own object, asked in an apartment of its own:
// `answered` is S_OK only when the object was found and answered every question.
struct ReaderView {
    HRESULT answered;
    std::wstring name, value;
    LONG role, state;
};
inline ReaderView readerView(HWND window) {
    const ComApartment com;
    ReaderView view = {E_FAIL, L"", L"", 0, 0};
    IAccessible* object = nullptr;
    view.answered = AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object));
    if (view.answered != S_OK || !object) return view;
    VARIANT self, role, state;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VariantInit(&role);
    VariantInit(&state);
    BSTR name = NULL, value = NULL;
    const HRESULT answers[] = {object->get_accName(self, &name), object->get_accValue(self, &value),
                               object->get_accRole(self, &role), object->get_accState(self, &state)};
    for (HRESULT answer : answers)
        if (answer != S_OK) view.answered = answer;
    view.name = name ? name : L"";
    view.value = value ? value : L"";
    view.role = role.vt == VT_I4 ? role.lVal : 0;
    view.state = state.vt == VT_I4 ? state.lVal : 0;
    SysFreeString(name);
    SysFreeString(value);
    object->Release();
    return view;
}
