#include "app/elevated_fixes.h"

#include <stdio.h>
#include <string.h>

#include <ntsecapi.h>

#include "base/owners.h"
#include "base/text.h"

namespace {

// The system's random source (advapi32's RtlGenRandom), for a token nobody can guess.
BOOLEAN WINAPI systemRandom(PVOID buffer, ULONG size) { return RtlGenRandom(buffer, size); }

const uint32_t kReplyMagic = 0x48444346;  // "FCDH"

// The shared block: the window writes the header, the copy its fixes and then `answered`.
struct FixReply {
    uint32_t magic;
    uint32_t size;
    volatile LONG answered;
    FixList fixes;
};

void blockName(uint64_t token, wchar_t* name, size_t capacity) {
    _snwprintf(name, capacity, L"Local\\HalvaneDevicesChecker.Fixes.%08lx%08lx", (unsigned long)(token >> 32),
               (unsigned long)(token & 0xFFFFFFFFu));
    name[capacity - 1] = 0;
}

// A view of the block, unmapped once.
class BlockView {
public:
    explicit BlockView(HANDLE mapping, DWORD access)
        : view_(mapping ? static_cast<FixReply*>(MapViewOfFile(mapping, access, 0, 0, sizeof(FixReply))) : NULL) {}
    ~BlockView() {
        if (view_) UnmapViewOfFile(view_);
    }
    BlockView(const BlockView&) = delete;
    BlockView& operator=(const BlockView&) = delete;
    FixReply* block() const { return view_; }

private:
    FixReply* view_;
};

// A new block of a name nobody holds; the token that names it.
bool makeBlock(Handle* mapping, uint64_t* token) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (!g_elevationCalls.random(token, sizeof(*token))) return false;
        wchar_t name[96];
        blockName(*token, name, 96);
        mapping->reset(CreateFileMappingW(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(FixReply), name));
        if (mapping->valid() && GetLastError() != ERROR_ALREADY_EXISTS) return true;
        mapping->reset();  // someone else's: another name
    }
    return false;
}

bool answered(const FixReply& reply) { return InterlockedCompareExchange(const_cast<LONG*>(&reply.answered), 0, 0) == 1; }

// Waits until the copy has answered or ended, or until the deadline, handing on the window's
// messages meanwhile (it is disabled, so they are its painting). Without a handle of the copy,
// the block is looked at every 100 ms.
void waitForCopy(HANDLE process, const FixReply& reply, DWORD waitMs) {
    const DWORD start = GetTickCount();
    while (!answered(reply)) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= waitMs) return;
        const DWORD left = waitMs - spent;
        const DWORD woke = process ? MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT)
                                   : MsgWaitForMultipleObjects(0, NULL, FALSE, left < 100 ? left : 100, QS_ALLINPUT);
        if (process && woke == WAIT_OBJECT_0) return;
        if (woke == WAIT_FAILED) return;
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// What the copy wrote, taken as anything from another process is: counts within bounds, every
// text ended, every value of its enumeration.
void takeFixes(const FixList& given, FixList* fixes) {
    memcpy(fixes, &given, sizeof(*fixes));
    if (fixes->count < 0 || fixes->count > FIXES_CAPACITY) fixes->count = 0;
    for (int32_t i = 0; i < fixes->count; ++i) {
        FixRecord& f = fixes->fixes[i];
        f.target[FIX_TARGET_SIZE - 1] = f.before[FIX_TEXT_SIZE - 1] = f.after[FIX_TEXT_SIZE - 1] = 0;
        if (f.action < 0 || f.action >= FIX_ACTION_COUNT) f.action = FIX_START_SERVICE;
        if (f.outcome < 0 || f.outcome >= FIX_OUTCOME_COUNT) f.outcome = FIX_NOT_DONE;
        if (f.note < 0 || f.note >= FIX_NOTE_COUNT) f.note = FIX_NOTE_NONE;
        if (f.row < -1 || f.row >= DRIVER_CATALOG_SIZE) f.row = -1;
    }
}

}  // namespace

ElevationCalls g_elevationCalls = {ShellExecuteExW, GetModuleFileNameW, systemRandom};

ElevatedFixesEnd fixElevated(HWND owner, uint64_t agreed, DWORD waitMs, FixList* fixes, DWORD* error) {
    *error = 0;
    wchar_t program[MAX_PATH + 1], folder[MAX_PATH];
    const DWORD length = g_elevationCalls.getModuleFileName(NULL, program, MAX_PATH + 1);
    const UINT folderLength = GetSystemDirectoryW(folder, MAX_PATH);
    Handle mapping;
    uint64_t token = 0;
    if (length == 0 || length > MAX_PATH || folderLength == 0 || folderLength >= MAX_PATH || !makeBlock(&mapping, &token)) {
        *error = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        return ELEVATED_FIXES_NOT_STARTED;
    }
    const BlockView view(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE);
    if (!view.block()) {
        *error = GetLastError();
        return ELEVATED_FIXES_NOT_STARTED;
    }
    view.block()->magic = kReplyMagic;
    view.block()->size = sizeof(FixReply);
    wchar_t arguments[96];
    _snwprintf(arguments, 96, L"-h -fix:%I64x:%016I64x", (unsigned long long)agreed, (unsigned long long)token);
    arguments[95] = 0;
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = program;
    info.lpParameters = arguments;
    info.lpDirectory = folder;  // never the checker's own folder, which a download may share
    info.nShow = SW_HIDE;
    if (!g_elevationCalls.shellExecuteEx(&info)) {
        *error = GetLastError();
        return *error == ERROR_CANCELLED ? ELEVATED_FIXES_CANCELLED : ELEVATED_FIXES_NOT_STARTED;
    }
    Handle process(info.hProcess);
    waitForCopy(process.valid() ? process.get() : NULL, *view.block(), waitMs);
    if (!answered(*view.block())) return ELEVATED_FIXES_NO_ANSWER;
    takeFixes(view.block()->fixes, fixes);
    return ELEVATED_FIXES_DONE;
}

bool replyToWindow(uint64_t token, const FixList& fixes) {
    wchar_t name[96];
    blockName(token, name, 96);
    Handle mapping(OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name));
    if (!mapping.valid()) return false;
    const BlockView view(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE);
    // Only a block the window made for this: its header says so.
    if (!view.block() || view.block()->magic != kReplyMagic || view.block()->size != sizeof(FixReply)) return false;
    memcpy(&view.block()->fixes, &fixes, sizeof(fixes));
    InterlockedExchange(&view.block()->answered, 1);
    return true;
}
