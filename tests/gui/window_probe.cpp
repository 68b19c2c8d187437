// Loaded into the running checker by the GUI tests (see CheckerProcess::probe): reads what only
// the owning process can read under Wine (menus, the class, the font object, the context menu on
// screen) and writes it as text lines to %TEMP%\hv-probe-<process id>.txt.
#include <windows.h>

#include <stdio.h>

#include <string>

namespace {

// A window of this process of the class, visible or not as asked.
HWND findWindowOfThisProcess(const wchar_t* cls, bool visibleOnly) {
    struct Search {
        const wchar_t* cls;
        bool visibleOnly;
        HWND found;
        static BOOL CALLBACK visit(HWND window, LPARAM parameter) {
            Search* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = L"";
            GetClassNameW(window, name, 64);
            if (owner == GetCurrentProcessId() && lstrcmpW(name, s->cls) == 0 &&
                (!s->visibleOnly || IsWindowVisible(window))) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        }
    } search = {cls, visibleOnly, NULL};
    EnumWindows(Search::visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void line(std::wstring& out, const wchar_t* format, ...) {
    wchar_t buffer[512];
    va_list args;
    va_start(args, format);
    _vsnwprintf(buffer, 511, format, args);
    va_end(args);
    buffer[511] = 0;
    out += buffer;
    out += L"\n";
}

void describeMenu(std::wstring& out, HMENU menu, const wchar_t* indent) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = L"";
        MENUITEMINFOW info;
        ZeroMemory(&info, sizeof(info));
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 256;
        GetMenuItemInfoW(menu, i, TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            line(out, L"%lsseparator", indent);
        } else if (info.hSubMenu) {
            line(out, L"%lspopup|%ls", indent, text);
            describeMenu(out, info.hSubMenu, L"  ");
        } else {
            line(out, L"%lsitem|%u|%ls|%ls%ls", indent, info.wID, text,
                 (info.fState & MFS_CHECKED) ? L"checked" : L"unchecked",
                 (info.fState & MFS_GRAYED) ? L"|grayed" : L"");
        }
    }
}

DWORD writeResult(const std::wstring& out) {
    wchar_t path[MAX_PATH + 64];
    const DWORD folder = GetTempPathW(MAX_PATH, path);
    _snwprintf(path + folder, 63, L"hv-probe-%lu.txt", GetCurrentProcessId());
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, out.data(), DWORD(out.size() * sizeof(wchar_t)), &written, NULL);
    CloseHandle(file);
    return 0;
}

}  // namespace

// The items of the context menu the process shows right now (a visible "#32768" window).
extern "C" __declspec(dllexport) DWORD WINAPI probePopupMenu(LPVOID) {
    std::wstring out;
    HWND popup = findWindowOfThisProcess(L"#32768", true);
    HMENU menu = popup ? reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0)) : NULL;
    if (menu) describeMenu(out, menu, L"");
    else line(out, L"no popup menu");
    return writeResult(out);
}

// What Windows sends when it moves the window to a monitor of 150 %: the new DPI and the
// rectangle it suggests (here: where the window is, 1000 x 700). Wine never sends it.
extern "C" __declspec(dllexport) DWORD WINAPI probeScaleTo144(LPVOID) {
    std::wstring out;
    HWND window = findWindowOfThisProcess(L"HVVESSO0ControlPanel0MainWindow0", false);
    RECT suggested = {0, 0, 0, 0};
    if (window && GetWindowRect(window, &suggested)) {
        suggested.right = suggested.left + 1000;
        suggested.bottom = suggested.top + 700;
        SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
        line(out, L"sent|144");
    } else {
        line(out, L"error|no main window");
    }
    return writeResult(out);
}

extern "C" __declspec(dllexport) DWORD WINAPI probeMainWindow(LPVOID) {
    std::wstring out;
    HWND window = findWindowOfThisProcess(L"HVVESSO0ControlPanel0MainWindow0", false);
    if (!window) {
        line(out, L"error|no main window");
    } else {
        line(out, L"class-style|%lu", GetClassLongW(window, GCL_STYLE));
        line(out, L"class-background|%lu", GetClassLongW(window, GCL_HBRBACKGROUND));
        HICON icon = reinterpret_cast<HICON>(GetClassLongW(window, GCL_HICON));
        HICON resourceIcon = LoadIconW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(100));
        line(out, L"class-icon|%ls", icon && icon == resourceIcon ? L"resource-100" : L"other");
        line(out, L"class-cursor|%ls",
             reinterpret_cast<HCURSOR>(GetClassLongW(window, GCL_HCURSOR)) == LoadCursorA(NULL, IDC_ARROW) ? L"arrow" : L"other");

        // The scale the window was given, as the checker itself can ask for it (Windows 10 and
        // Wine have GetDpiForWindow; without it, the screen's).
        typedef UINT(WINAPI * GetDpiForWindowFunction)(HWND);
        const GetDpiForWindowFunction dpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
        line(out, L"window-dpi|%u", dpiForWindow ? dpiForWindow(window) : 0u);

        HWND view = GetDlgItem(window, 500);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0));
        LOGFONTW logFont;
        ZeroMemory(&logFont, sizeof(logFont));
        if (font && GetObjectW(font, sizeof(logFont), &logFont))
            line(out, L"log-font|%ls|%ld|%ld", logFont.lfFaceName, logFont.lfHeight, logFont.lfWeight);
        else
            line(out, L"log-font|none");

        HMENU bar = GetMenu(window);
        // What the window does with the check mark of "Show Device List" when a menu opens.
        CheckMenuItem(bar, 200, MF_BYCOMMAND | MF_CHECKED);
        SendMessageW(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
        describeMenu(out, bar, L"");
    }

    return writeResult(out);
}

// What a DLL loaded by its bare name would find: whatever Windows or a system DLL itself loads
// that way on the checker's behalf searches only where the checker's start-up left the search.
extern "C" __declspec(dllexport) DWORD WINAPI probeBareNameLoad(LPVOID) {
    std::wstring out;
    HMODULE module = LoadLibraryW(L"hv_bare_name.dll");
    line(out, L"bare-name-load|%ls", module ? L"loaded" : L"not found");
    if (module) FreeLibrary(module);
    return writeResult(out);
}
