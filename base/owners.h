// One owner for each kind of Windows resource the program holds: a heap block, a kernel handle
// (file, event, device), a device-information set, a COM pointer and the memory COM hands out,
// a GDI object, a window's device context, an icon, a global memory block and the
// open clipboard. Each releases what it holds when it goes out of scope, on every path, and none
// can be copied. Handles obtained
// through a table of Windows calls (a seam that tests replace) are released through that
// table's function, which the owner is given.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <propidl.h>
#include <setupapi.h>

#include <stddef.h>

// The process heap as plain functions, for the tables that hand memory out (tests put a heap
// that can run out in their place) and for blocks whose owner is a record, not a scope.
inline void* heapAllocate(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }
inline void* heapAllocateZeroed(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }
inline void* heapReallocate(void* block, size_t bytes) { return HeapReAlloc(GetProcessHeap(), 0, block, bytes); }
inline void heapRelease(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

// A block of the process heap, zero-filled when asked.
class HeapBlock {
public:
    explicit HeapBlock(size_t bytes, bool zeroed = true)
        : block_(HeapAlloc(GetProcessHeap(), zeroed ? HEAP_ZERO_MEMORY : 0, bytes ? bytes : 1)) {}
    // None yet: for a block needed only on some paths.
    HeapBlock() : block_(NULL) {}
    void* allocate(size_t bytes) {
        heapRelease(block_);
        return block_ = heapAllocate(bytes ? bytes : 1);
    }
    ~HeapBlock() {
        if (block_) HeapFree(GetProcessHeap(), 0, block_);
    }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    void* get() const { return block_; }
    template <typename T>
    T* as() const {
        return static_cast<T*>(block_);
    }
    // Hands the block over to a caller that frees it itself (or deliberately never does).
    void* release() {
        void* block = block_;
        block_ = NULL;
        return block;
    }

private:
    void* block_;
};

// A kernel handle: a file, an event or a device. Null and INVALID_HANDLE_VALUE both mean none.
class Handle {
public:
    typedef BOOL(WINAPI* Close)(HANDLE);
    explicit Handle(HANDLE handle = NULL, Close close = CloseHandle) : handle_(handle), close_(close) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool valid() const { return handle_ != NULL && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    // Closes what it holds and takes handle in its place.
    void reset(HANDLE handle = NULL) {
        if (valid()) close_(handle_);
        handle_ = handle;
    }
    // Takes another handle, and the call that closes it, closing the one held.
    void reset(HANDLE handle, Close close) {
        reset(handle);
        close_ = close;
    }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = NULL;
        return handle;
    }

private:
    HANDLE handle_;
    Close close_;
};

// A SetupAPI device-information set.
class DeviceInfoSet {
public:
    typedef BOOL(WINAPI* Destroy)(HDEVINFO);
    DeviceInfoSet(HDEVINFO set, Destroy destroy) : set_(set), destroy_(destroy) {}
    ~DeviceInfoSet() {
        if (valid()) destroy_(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

    bool valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != NULL; }
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
    Destroy destroy_;
};

// A COM interface pointer, released once.
template <typename T>
class ComPtr {
public:
    ComPtr() : p_(NULL) {}
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != NULL; }
    // Where a call that hands out an interface stores it; anything held before is released.
    T** out() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_) p_->Release();
        p_ = NULL;
    }

private:
    T* p_;
};

// Text that COM allocated for the caller (CoTaskMemFree).
class CoTaskText {
public:
    CoTaskText() : text_(NULL) {}
    ~CoTaskText() {
        if (text_) CoTaskMemFree(text_);
    }
    CoTaskText(const CoTaskText&) = delete;
    CoTaskText& operator=(const CoTaskText&) = delete;

    LPWSTR* out() { return &text_; }
    const wchar_t* get() const { return text_; }

private:
    LPWSTR text_;
};

// A property value, cleared once.
class PropertyValue {
public:
    PropertyValue() { PropVariantInit(&value_); }
    ~PropertyValue() { PropVariantClear(&value_); }
    PropertyValue(const PropertyValue&) = delete;
    PropertyValue& operator=(const PropertyValue&) = delete;

    PROPVARIANT* out() { return &value_; }
    const PROPVARIANT& get() const { return value_; }

private:
    PROPVARIANT value_;
};

// A GDI object: a font, brush or pen. Movable, so that a set of them can be replaced whole.
template <typename T>
class GdiObject {
public:
    explicit GdiObject(T object = NULL) : object_(object) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) : object_(other.object_) { other.object_ = NULL; }
    GdiObject& operator=(GdiObject&& other) {
        if (this != &other) {
            reset();
            object_ = other.object_;
            other.object_ = NULL;
        }
        return *this;
    }

    T get() const { return object_; }
    void reset(T object = NULL) {
        if (object_) DeleteObject(object_);
        object_ = object;
    }

private:
    T object_;
};

// The device context of a window, or of the screen for none (GetDC), given back on the way out.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context, the one it replaced put back on the way out.
class DcSelection {
public:
    DcSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~DcSelection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    DcSelection(const DcSelection&) = delete;
    DcSelection& operator=(const DcSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// An icon the program loaded or extracted (DestroyIcon). Only a real icon handle is ever held.
class IconHandle {
public:
    explicit IconHandle(HICON icon = NULL) : icon_(icon) {}
    ~IconHandle() {
        if (icon_) DestroyIcon(icon_);
    }
    IconHandle(const IconHandle&) = delete;
    IconHandle& operator=(const IconHandle&) = delete;

    HICON get() const { return icon_; }

private:
    HICON icon_;
};

// A movable global memory block, as the clipboard takes it. Once SetClipboardData accepted it,
// the system owns it: release() hands it over.
class GlobalBlock {
public:
    explicit GlobalBlock(size_t bytes) : block_(GlobalAlloc(GMEM_MOVEABLE, bytes ? bytes : 1)) {}
    ~GlobalBlock() {
        if (block_) GlobalFree(block_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    HGLOBAL get() const { return block_; }
    HGLOBAL release() {
        HGLOBAL block = block_;
        block_ = NULL;
        return block;
    }

private:
    HGLOBAL block_;
};

// The clipboard, opened for a window until the owner goes out of scope.
class OpenClipboardFor {
public:
    explicit OpenClipboardFor(HWND owner) : open_(OpenClipboard(owner) != 0) {}
    ~OpenClipboardFor() {
        if (open_) CloseClipboard();
    }
    OpenClipboardFor(const OpenClipboardFor&) = delete;
    OpenClipboardFor& operator=(const OpenClipboardFor&) = delete;

    bool open() const { return open_; }

private:
    bool open_;
};
