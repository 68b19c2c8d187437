// COM on the test's thread for the owner's scope, left again only when this start succeeded: for
// tests that read the checker through COM (a screen reader's objects, the endpoint enumerator).
#pragma once

#include <windows.h>
#include <objbase.h>

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
