#include "checker_remote/checker_remote.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "base/owners.h"


const wchar_t CHECKER_WINDOW_CLASS[] = L"HVVESSO0ControlPanel0MainWindow0";

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* cls;
    std::vector<HWND>* found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    if (search->cls && className(window) != search->cls) return TRUE;
    search->found->push_back(window);
    return TRUE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM parameter) {
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

std::wstring widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    std::wstring wide(text.size(), L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &wide[0], int(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
}

}  // namespace

CheckerProcess::CheckerProcess(const std::string& arguments)
    : CheckerProcess(widen(arguments), std::wstring()) {}

CheckerProcess::CheckerProcess(const std::wstring& arguments, const std::wstring& currentDirectory,
                               const std::wstring& exePath, const std::wstring& programName) {
    const std::wstring exe = exePath.empty() ? widen(checkerExePath()) : exePath;
    std::wstring commandLine = programName.empty() ? L"\"" + exe + L"\"" : programName + arguments;
    if (programName.empty() && !arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof(info));
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(0);
    if (CreateProcessW(programName.empty() ? NULL : exe.c_str(), writable.data(), NULL, NULL, FALSE, 0, NULL,
                       currentDirectory.empty() ? NULL : currentDirectory.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        processId_ = info.dwProcessId;
    }
}

CheckerProcess::~CheckerProcess() {
    if (!process_) return;
    if (running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool CheckerProcess::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

HWND CheckerProcess::waitForMainWindow(DWORD timeoutMs) {
    waitFor(timeoutMs, [this] {
        std::vector<HWND> found = windowsOfProcess(processId_, CHECKER_WINDOW_CLASS);
        if (!found.empty()) mainWindow_ = found.front();
        return mainWindow_ != NULL;
    });
    return mainWindow_;
}

bool CheckerProcess::waitIdle(DWORD timeoutMs) {
    if (WaitForInputIdle(process_, timeoutMs) != 0) return false;
    // A message sent now is handled only once the handler of every earlier message has returned.
    DWORD_PTR result = 0;
    return !mainWindow_ ||
           SendMessageTimeoutW(mainWindow_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool CheckerProcess::waitForFirstReport(DWORD timeoutMs) {
    bool found = false;
    waitFor(timeoutMs, [&] {
        found = logText().find(L"CONCLUSION: ") != std::wstring::npos;
        return found || !running();
    });
    return found && waitIdle(timeoutMs);
}

HWND CheckerProcess::waitForDialog(DWORD timeoutMs) const {
    HWND dialog = NULL;
    waitFor(timeoutMs, [&] {
        for (HWND w : windowsOfProcess(processId_, L"#32770"))
            if (IsWindowVisible(w)) dialog = w;
        return dialog != NULL;
    });
    return dialog;
}

bool CheckerProcess::waitExit(DWORD timeoutMs, int32_t* exitCode) {
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    *exitCode = int32_t(code);
    return true;
}

HWND CheckerProcess::logView() const { return GetDlgItem(mainWindow_, 500); }

std::wstring CheckerProcess::logText() const { return windowText(logView()); }

void CheckerProcess::postCommand(WORD command) const {
    PostMessageW(mainWindow_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

namespace {

// Runs a function inside the checker on a thread of its own and returns the thread's exit code.
bool runRemoteThread(HANDLE process, LPTHREAD_START_ROUTINE start, void* parameter, DWORD* exitCode) {
    HANDLE thread = CreateRemoteThread(process, NULL, 0, start, parameter, 0, NULL);
    if (!thread) return false;
    const bool done = WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0;
    if (done) GetExitCodeThread(thread, exitCode);
    CloseHandle(thread);
    return done;
}

}  // namespace

std::vector<std::wstring> CheckerProcess::probe(const char* function) const {
    std::vector<std::wstring> lines;
    const std::string dll = programFolder() + "window_probe.dll";
    HMODULE local = LoadLibraryA(dll.c_str());
    if (!local) return lines;
    const FARPROC localEntry = GetProcAddress(local, function);

    // LoadLibraryA in the checker: kernel32 sits at the same address in every process.
    void* remotePath = VirtualAllocEx(process_, NULL, dll.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    DWORD remoteBase = 0;
    if (remotePath && localEntry &&
        WriteProcessMemory(process_, remotePath, dll.c_str(), dll.size() + 1, NULL) &&
        runRemoteThread(process_, reinterpret_cast<LPTHREAD_START_ROUTINE>(
                                      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"))),
                        remotePath, &remoteBase) &&
        remoteBase != 0) {
        const DWORD_PTR entry = DWORD_PTR(localEntry) - DWORD_PTR(local) + remoteBase;
        DWORD result = 1;
        if (runRemoteThread(process_, reinterpret_cast<LPTHREAD_START_ROUTINE>(entry), NULL, &result) && result == 0) {
            char path[MAX_PATH + 64];
            const DWORD folder = GetTempPathA(MAX_PATH, path);
            _snprintf(path + folder, 63, "hv-probe-%lu.txt", processId_);
            HANDLE file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, NULL);
            if (file != INVALID_HANDLE_VALUE) {
                std::wstring text(GetFileSize(file, NULL) / sizeof(wchar_t), L'\0');
                DWORD got = 0;
                ReadFile(file, &text[0], DWORD(text.size() * sizeof(wchar_t)), &got, NULL);
                CloseHandle(file);
                size_t start = 0, end;
                while ((end = text.find(L'\n', start)) != std::wstring::npos) {
                    lines.push_back(text.substr(start, end - start));
                    start = end + 1;
                }
            }
        }
    }
    if (remotePath) VirtualFreeEx(process_, remotePath, 0, MEM_RELEASE);
    FreeLibrary(local);
    return lines;
}

bool CheckerProcess::sendCommand(WORD command, DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(mainWindow_, WM_COMMAND, MAKEWPARAM(command, 0), 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

std::vector<HWND> windowsOfProcess(DWORD processId, const wchar_t* cls) {
    std::vector<HWND> found;
    WindowSearch search = {processId, cls, &found};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return found;
}

std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &length)) return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_NORMAL, 10000, &copied);
    text.resize(copied);
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

HWND keyboardFocusOf(HWND window) {
    GUITHREADINFO gui;
    gui.cbSize = sizeof(gui);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &gui) ? gui.hwndFocus : NULL;
}

std::wstring messageBoxText(HWND box) {
    // The text is the static control that is not the icon.
    std::vector<HWND> children;
    EnumChildWindows(box, collectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (_wcsicmp(className(child).c_str(), L"Static") != 0) continue;
        const std::wstring text = windowText(child);
        if (!text.empty()) return text;
    }
    return std::wstring();
}

bool pressOk(HWND box) { return pressButton(box, IDOK); }

bool pressButton(HWND box, int button) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return waitFor(5000, [box] { return !IsWindow(box); });
}

HWND fileNameField(HWND dialog) {
    HWND field = GetDlgItem(dialog, 1148);
    return field ? field : GetDlgItem(dialog, 1152);
}

bool bringToFront(HWND window) {
    SetForegroundWindow(window);
    return waitFor(5000, [window] { return GetForegroundWindow() == window; });
}

bool pressKeys(HWND window, std::initializer_list<WORD> chord) {
    if (window && !bringToFront(window)) return false;
    std::vector<INPUT> keys(2 * chord.size());
    size_t i = 0;
    for (WORD key : chord) {
        const bool extended = key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN || key == VK_HOME ||
                              key == VK_END || key == VK_APPS;
        INPUT& down = keys[i];
        INPUT& up = keys[keys.size() - 1 - i];
        down.type = up.type = INPUT_KEYBOARD;
        down.ki.wVk = up.ki.wVk = key;
        down.ki.dwFlags = extended ? KEYEVENTF_EXTENDEDKEY : 0;
        up.ki.dwFlags = down.ki.dwFlags | KEYEVENTF_KEYUP;
        ++i;
    }
    return SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT)) == keys.size();
}

bool movePointer(HWND window, int x, int y) {
    POINT at = {x, y};
    // SetCursorPos moves the pointer of the display itself, which every program then reads alike.
    return ClientToScreen(window, &at) && SetCursorPos(at.x, at.y);
}

bool typeControlKey(HWND window, WORD virtualKey) { return pressKeys(window, {VK_CONTROL, virtualKey}); }

std::wstring clipboardText(bool thenEmpty) {
    // The checker may still hold the clipboard for a moment.
    if (!waitFor(5000, [] { return OpenClipboard(NULL) != 0; })) return L"<clipboard busy>";
    std::wstring text = L"<none>";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (const wchar_t* locked = data ? static_cast<const wchar_t*>(GlobalLock(data)) : NULL) {
        // Never past the block, whatever the program that put it there wrote.
        text.assign(locked, wcsnlen(locked, GlobalSize(data) / sizeof(wchar_t)));
        GlobalUnlock(data);
    }
    if (thenEmpty) EmptyClipboard();
    CloseClipboard();
    return text;
}

namespace {

// A top-down 32-bit bitmap selected into a memory DC.
class DibCanvas {
public:
    DibCanvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info;
        ZeroMemory(&info, sizeof(info));
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(NULL);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, NULL, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~DibCanvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC dc() const { return dc_; }
    Capture pixels() const {
        GdiFlush();
        Capture capture;
        capture.width = width_;
        capture.height = height_;
        const uint32_t* source = static_cast<const uint32_t*>(bits_);
        capture.pixels.assign(source, source + size_t(width_) * height_);
        for (uint32_t& p : capture.pixels) p &= 0xFFFFFF;
        return capture;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    void* bits_ = NULL;
};

}  // namespace

namespace {

Capture captureScreenRect(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return Capture();
    DibCanvas canvas(width, height);
    const WindowDc screen(NULL);
    BitBlt(canvas.dc(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY);
    return canvas.pixels();
}

}  // namespace

// Both read from the screen: a window DC of another process reads back black under Wine.
Capture captureClient(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, NULL, reinterpret_cast<POINT*>(&client), 2);
    return captureScreenRect(client);
}

Capture captureWindow(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    return captureScreenRect(frame);
}

bool writeBmp(const Capture& capture, const char* path) {
    if (capture.width <= 0 || capture.height <= 0) return false;
    const DWORD rowBytes = (DWORD(capture.width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file;
    ZeroMemory(&file, sizeof(file));
    BITMAPINFOHEADER info;
    ZeroMemory(&info, sizeof(info));
    info.biSize = sizeof(info);
    info.biWidth = capture.width;
    info.biHeight = capture.height;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowBytes * capture.height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* out = fopen(path, "wb");
    if (!out) return false;
    bool ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&info, sizeof(info), 1, out) == 1;
    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = capture.height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < capture.width; ++x) {
            const uint32_t p = capture.at(x, y);
            row[x * 3] = p & 0xFF;
            row[x * 3 + 1] = p >> 8 & 0xFF;
            row[x * 3 + 2] = p >> 16 & 0xFF;
        }
        ok = fwrite(row.data(), 1, rowBytes, out) == rowBytes;
    }
    return fclose(out) == 0 && ok;
}

std::string programFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

int displayDpi() {
    const WindowDc screen(NULL);
    return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

int expectedDpi() {
    char text[16] = "";
    const DWORD length = GetEnvironmentVariableA("HV_EXPECT_DPI", text, sizeof(text));
    return length > 0 && length < sizeof(text) ? atoi(text) : 96;
}

std::string checkerExePath() { return programFolder() + "HalvaneDevicesChecker.exe"; }

Capture drawOffscreen(int width, int height, uint32_t background, const std::function<void(HDC)>& draw) {
    DibCanvas canvas(width, height);
    HBRUSH fill = CreateSolidBrush(RGB(background >> 16 & 0xFF, background >> 8 & 0xFF, background & 0xFF));
    RECT all = {0, 0, width, height};
    FillRect(canvas.dc(), &all, fill);
    DeleteObject(fill);
    draw(canvas.dc());
    GdiFlush();
    return canvas.pixels();
}

LineEnd lineEnd(const Capture& capture, const RECT& band, const std::function<bool(uint32_t)>& ink) {
    // Runs of columns with ink, each with its ink's top and bottom rows.
    struct Run {
        int left, right, top, bottom;
    };
    std::vector<Run> runs;
    for (int x = band.left; x < band.right && x < capture.width; ++x) {
        int top = -1, bottom = -1;
        for (int y = band.top; y < band.bottom && y < capture.height; ++y) {
            if (!ink(capture.at(x, y))) continue;
            if (top < 0) top = y;
            bottom = y;
        }
        if (top < 0) continue;
        if (!runs.empty() && runs.back().right == x - 1) {
            Run& r = runs.back();
            r.right = x;
            r.top = std::min(r.top, top);
            r.bottom = std::max(r.bottom, bottom);
        } else {
            runs.push_back(Run{x, x, top, bottom});
        }
    }
    LineEnd end;
    if (runs.empty()) return end;
    end.lastInk = runs.back().right;
    if (runs.size() < 4) return end;
    const Run* dots = &runs[runs.size() - 3];
    const int height = band.bottom - band.top;
    end.ellipsis = true;
    for (int i = 0; i < 3; ++i) {
        const Run& d = dots[i];
        end.ellipsis = end.ellipsis && d.bottom - d.top + 1 <= std::max(3, height / 5) &&
                       abs((d.right - d.left) - (dots[0].right - dots[0].left)) <= 1 &&
                       abs(d.bottom - dots[0].bottom) <= 1 && d.right - d.left + 1 <= std::max(3, height / 5);
    }
    return end;
}

Capture renderText(const LOGFONTW& font, const wchar_t* text, uint32_t background, int width, int height) {
    return drawOffscreen(width, height, background, [&](HDC dc) {
        HFONT handle = CreateFontIndirectW(&font);
        HGDIOBJ oldFont = SelectObject(dc, handle);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, 0, 0, text, lstrlenW(text));
        SelectObject(dc, oldFont);
        DeleteObject(handle);
    });
}

namespace {
const wchar_t kCheckerOverrides[] = L"Software\\Wine\\AppDefaults\\HalvaneDevicesChecker.exe\\DllOverrides";
}  // namespace

CheckerDllOverrides::CheckerDllOverrides(std::initializer_list<const wchar_t*> dlls, const wchar_t* order) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kCheckerOverrides, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL)) return;
    for (const wchar_t* dll : dlls)
        RegSetValueExW(key, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                       DWORD((wcslen(order) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

CheckerDllOverrides::~CheckerDllOverrides() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kCheckerOverrides);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\HalvaneDevicesChecker.exe");
}
