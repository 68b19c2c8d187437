#include "gui/checker_process.h"

#include "support/test_files.h"

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

}  // namespace

CheckerProcess::CheckerProcess(const std::string& arguments) {
    std::string commandLine = "\"" + checkerExePath() + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof(info));
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back(0);
    if (CreateProcessA(NULL, writable.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
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

bool pressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return waitFor(5000, [box] { return !IsWindow(box); });
}

Capture captureClient(HWND window) {
    Capture capture;
    RECT client;
    GetClientRect(window, &client);
    capture.width = client.right;
    capture.height = client.bottom;
    if (capture.width <= 0 || capture.height <= 0) return capture;

    BITMAPINFO info;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, capture.width, capture.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    capture.pixels.assign(source, source + size_t(capture.width) * capture.height);
    for (uint32_t& p : capture.pixels) p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return capture;
}
