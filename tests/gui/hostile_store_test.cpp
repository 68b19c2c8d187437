// The real checker on endpoint stores as broken installers and other makers leave them: entries
// of other makers whose hardware IDs only look like catalogued ones, duplicates, values of the
// wrong type or length, names and icon paths holding line breaks, control characters and cut
// surrogates, entry names too long for a path, and (on 64-bit Windows) an empty 32-bit copy of
// an entry beside the real one in the 64-bit view. While the device list is shown an entry is
// removed and another one refuses writes. After the format commands every value of every other
// entry is byte-identical, no key was created or deleted, and the catalogued entries hold what
// the last command asked. The stores are generated from a fixed set of seeds.
#include <gtest/gtest.h>

#include <stdio.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "checker_remote/checker_remote.h"
#include "support/test_registry.h"

namespace {

const char* const kCatalogueIds[] = {"HalvaneVSOWDM",       "HalvaneVSOAWDM",  "HalvaneVSOBWDM", "Halvane101WDMVessoC",
                                     "Halvane102WDMVessoD", "HalvaneRZ40NODA", "HalvaneCLNODA",  "HalvaneTDNODA",
                                     "HalvaneTDAUXNODA",    "Halvane100TDNODA3"};
const wchar_t* const kDirections[] = {L"Render", L"Capture"};

struct Value {
    DWORD type;
    std::vector<uint8_t> bytes;
    bool operator==(const Value& o) const { return type == o.type && bytes == o.bytes; }
};
// Every key below the store's root, in both views: "<view>|<path>" -> its values.
typedef std::map<std::wstring, std::map<std::wstring, Value>> Store;

std::wstring keyOf(REGSAM view, const std::wstring& path) { return (view ? L"64|" : L"32|") + path; }

void readTree(HKEY parent, const std::wstring& path, REGSAM view, Store* store) {
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    std::map<std::wstring, Value>& values = (*store)[keyOf(view, path)];
    std::vector<wchar_t> name(32768);
    std::vector<uint8_t> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = DWORD(name.size()), dataSize = DWORD(data.size()), type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameSize, NULL, &type, data.data(), &dataSize) != ERROR_SUCCESS)
            break;
        values[std::wstring(name.data(), nameSize)] = Value{type, std::vector<uint8_t>(data.begin(), data.begin() + dataSize)};
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = DWORD(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        children.push_back(std::wstring(name.data(), nameSize));
    }
    RegCloseKey(key);
    for (const std::wstring& child : children) readTree(HKEY_LOCAL_MACHINE, path + L"\\" + child, view, store);
}

Store readStore() {
    Store store;
    readTree(HKEY_LOCAL_MACHINE, kStoreRoot, 0, &store);
    if (runsOnWow64()) readTree(HKEY_LOCAL_MACHINE, kStoreRoot, KEY_WOW64_64KEY, &store);
    return store;
}

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    int below(int n) { return int(random_() % unsigned(n)); }
    bool chance(int percent) { return below(100) < percent; }

    // A well-formed format value of 48 to 255 bytes, random everywhere but in its fields.
    std::vector<uint8_t> format() {
        std::vector<uint8_t> v(size_t(48 + below(208)));
        for (uint8_t& b : v) b = uint8_t(random_());
        const uint32_t channels = 2, bits = chance(50) ? 16 : 24, rate = chance(50) ? 44100 : 48000;
        writeLe16(&v[0] + 8, 0xFFFE);
        writeLe16(&v[0] + 10, channels);
        writeLe32(&v[0] + 12, rate);
        writeLe32(&v[0] + 16, bits / 8 * channels * rate);
        writeLe16(&v[0] + 20, bits / 8 * channels);
        writeLe16(&v[0] + 22, bits);
        return v;
    }
    // Text as broken installers write it.
    std::wstring hostileText() {
        static const wchar_t* const kPieces[] = {L"Speakers", L"\r\n", L"\n", L"\x1b[31m", L"\b", L"\t", L"\x7f",
                                                 L"\xD83D\xDE00", L"\xD83D", L"\xDE00", L"%SystemRoot%", L",-1",
                                                 L" (", L")", L"\x00E9", L"\x4E2D", L"|", L"%"};
        std::wstring text;
        for (int n = 1 + below(8); n > 0; --n) text += kPieces[below(int(sizeof(kPieces) / sizeof(kPieces[0])))];
        if (chance(10)) text += std::wstring(size_t(500 + below(1200)), L'x') + L"\xD83D\xDE00";
        return text;
    }
    // A hardware ID of another maker that looks like a catalogued one.
    std::wstring lookAlike(const char* id) {
        std::wstring text(id, id + strlen(id));
        switch (below(4)) {
        case 0:  // fullwidth letters
            for (wchar_t& c : text) c = wchar_t(c - 0x21 + 0xFF01);
            break;
        case 1: text[size_t(below(int(text.size())))] = L'\x0101'; break;  // a with macron
        case 2: text[0] = L'\x210B'; break;                                // script capital H
        default: text += L'\x212A'; break;                                 // Kelvin sign
        }
        return text;
    }
    std::mt19937 random_;
};

std::wstring widen(const char* text) { return std::wstring(text, text + strlen(text)); }

// What the test itself finds to be the device list's entries: for each catalogued ID whose
// playback entry exists, the first entry of each direction whose driver text ends in the ID.
std::set<std::wstring> tableEntries(const Store& store) {
    std::set<std::wstring> entries;
    std::set<std::string> rows;
    for (const wchar_t* direction : kDirections) {
        const std::wstring path = TestRegistry::directionPath(direction);
        // The direction key of the default view, or the 64-bit one when that lists nothing.
        std::vector<std::wstring> names;
        for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)}) {
            if (view && (!runsOnWow64() || !names.empty())) break;
            HKEY key;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
            wchar_t name[1000];
            for (DWORD i = 0; RegEnumKeyW(key, i, name, 1000) == ERROR_SUCCESS; ++i) names.push_back(name);
            RegCloseKey(key);
        }
        for (const char* id : kCatalogueIds) {
            if (direction == std::wstring(L"Capture") && !rows.count(id)) continue;
            for (const std::wstring& name : names) {
                const std::wstring properties = path + L"\\" + name + L"\\Properties";
                if (properties.size() >= 1024) continue;
                // The entry's values in the view its "Properties" key opens in, default first.
                const Store::const_iterator at32 = store.find(keyOf(0, properties));
                const Store::const_iterator at64 = store.find(keyOf(KEY_WOW64_64KEY, properties));
                const Store::const_iterator entry = at32 != store.end() ? at32 : at64;
                if (entry == store.end()) continue;
                const auto text = entry->second.find(kStoreValue.driverText);
                if (text == entry->second.end() || text->second.type != REG_SZ || text->second.bytes.size() > 4096)
                    continue;
                // The text up to its terminator; what follows its last ':' against the ID, ASCII
                // letters taken alike (no other character is ever taken for one of the ID's).
                const std::wstring driverText =
                    std::wstring(reinterpret_cast<const wchar_t*>(text->second.bytes.data()),
                                 text->second.bytes.size() / 2).c_str();
                const size_t colon = driverText.rfind(L':');
                const std::wstring tail = driverText.substr(colon == std::wstring::npos ? 0 : colon + 1);
                const std::wstring wideId = widen(id);
                if (tail.size() != wideId.size()) continue;
                bool same = true;
                for (size_t i = 0; i < tail.size(); ++i)
                    same = same && tail[i] < 0x80 && towlower(tail[i]) == towlower(wideId[i]);
                if (!same) continue;
                entries.insert(entry->first);
                if (direction == std::wstring(L"Render")) rows.insert(id);
                break;
            }
        }
    }
    return entries;
}

// A format value after "44.1 kHz": the rate and the byte rate changed, every other byte kept.
Value at44k(const Value& before) {
    if (before.type != REG_BINARY || before.bytes.size() < 48 || before.bytes.size() > 255) return before;
    Value after = before;
    writeLe32(&after.bytes[0] + 12, 44100);
    writeLe32(&after.bytes[0] + 16, readLe16(&after.bytes[0] + 20) * 44100);
    return after;
}

class HostileStoreTest : public testing::TestWithParam<unsigned> {
protected:
    // Writes the store of one seed.
    void generate(unsigned seed) {
        Generator g(seed);
        int serial = 0;
        auto entryName = [&](int side) {
            wchar_t name[64];
            _snwprintf(name, 64, L"{0.0.%i.00000000}.{%08x-0000-0000-0000-%012x}", side, g.below(0x7FFFFFFF), ++serial);
            return std::wstring(name);
        };
        auto formats = [&](const std::wstring& path, REGSAM view) {
            // Sometimes a value that is no format the commands may edit.
            if (g.chance(15)) registry.setString(path, kStoreValue.deviceFormat, L"48000", view);
            else if (g.chance(10))
                registry.setBinary(path, kStoreValue.deviceFormat, std::vector<uint8_t>(26, 7), view);
            else registry.setBinary(path, kStoreValue.deviceFormat, g.format(), view);
            if (g.chance(10)) registry.setBinary(path, kStoreValue.oemFormat, std::vector<uint8_t>(300, 9), view);
            else if (!g.chance(10)) registry.setBinary(path, kStoreValue.oemFormat, g.format(), view);
            registry.setDword(path, kStoreValue.exclusiveFirst, DWORD(g.below(2)), view);
            if (g.chance(30)) registry.setString(path, kStoreValue.exclusiveSecond, L"1", view);
        };
        auto entry = [&](int side, const std::wstring& driverText, REGSAM view = 0) {
            const wchar_t* direction = kDirections[side];
            const std::wstring name = entryName(side);
            registry.addEndpoint(direction, name, g.hostileText(), g.hostileText(), driverText, g.hostileText(), view);
            const std::wstring path = TestRegistry::propertiesPath(direction, name);
            formats(path, view);
            if (g.chance(20)) registry.setDword(path, L"{00000000-0000-0000-0000-000000000000},1", 5, view);
            return path;
        };
        for (int side = 0; side < 2; ++side) {
            for (const char* id : kCatalogueIds) {
                // Other makers first, so that a look-alike comes before the real entry.
                if (g.chance(70)) entry(side, L"{1}.ROOT\\OTHER:" + g.lookAlike(id));
                if (g.chance(70)) entry(side, L"x:" + widen(id));
                if (g.chance(20)) entry(side, L"x:" + widen(id));  // a duplicate: never the table's
            }
            // Values of the wrong type where the driver text belongs, an entry without
            // "Properties", and one with a name as long as a key name may be.
            const std::wstring binary = TestRegistry::propertiesPath(kDirections[side], entryName(side));
            const std::wstring text = L"x:HalvaneVSOWDM";
            registry.setValue(binary, kStoreValue.driverText, REG_BINARY, text.c_str(), DWORD(text.size() * 2));
            formats(binary, 0);
            registry.createKey(TestRegistry::directionPath(kDirections[side]) + L"\\" + entryName(side));
            const std::wstring longName = L"{" + std::wstring(250, L'L') + L"}";
            registry.addEndpoint(kDirections[side], longName, L"Long", L"Card", L"x:HalvaneVSOAWDM");
            formats(TestRegistry::propertiesPath(kDirections[side], longName), 0);
        }
        if (runsOnWow64()) {
            // An empty 32-bit copy of an entry whose values live in the 64-bit view.
            const std::wstring name = L"{0.0.0.00000000}.{5b5b5b5b-0000-0000-0000-000000000001}";
            registry.createKey(TestRegistry::directionPath(L"Render") + L"\\" + name);
            registry.addEndpoint(L"Render", name, L"Stub", L"Card", L"x:Halvane100TDNODA3", L"", KEY_WOW64_64KEY);
            formats(TestRegistry::propertiesPath(L"Render", name), KEY_WOW64_64KEY);
        }
    }

    TestRegistry registry;
};

TEST_P(HostileStoreTest, OnlyTheCataloguedEntriesChangeAndOnlyTheirFormats) {
    generate(GetParam());
    // While the panel shows them, a catalogued playback entry, whose device format needs the
    // change, refuses writes, and a catalogued recording entry goes (its row stays).
    std::wstring removed, locked;
    const Store generated = readStore();
    for (const std::wstring& key : tableEntries(generated)) {
        const auto device = generated.at(key).find(kStoreValue.deviceFormat);
        const bool editable = device != generated.at(key).end() && device->second.type == REG_BINARY &&
                              device->second.bytes.size() >= 48 && device->second.bytes.size() <= 255;
        if (removed.empty() && editable && key.find(L"\\Capture\\") != std::wstring::npos) removed = key;
        if (locked.empty() && editable && key.compare(0, 3, L"32|") == 0 &&
            key.find(L"\\Render\\") != std::wstring::npos) {
            registry.setBinary(key.substr(3), kStoreValue.deviceFormat, at44k(device->second).bytes);
            locked = key;
        }
    }
    ASSERT_FALSE(removed.empty() || locked.empty()) << "the seed made too few catalogued entries";
    const Store before = readStore();

    CheckerProcess checker;
    ASSERT_TRUE(checker.started());
    ASSERT_NE(nullptr, checker.waitForMainWindow(20000));
    ASSERT_TRUE(checker.waitForFirstReport());
    ASSERT_TRUE(checker.sendCommand(200));

    TestRegistry::denyWrites(locked.substr(3));
    // The entries the last command works on: the device list as the refresh after the first
    // command loads it, before the removal.
    const std::set<std::wstring> table = tableEntries(readStore());

    // 48 kHz stops at the refused entry with one error box and reloads the rows; then, with
    // the entry gone from under its row and writes allowed again, 44.1 kHz for everything: the
    // entry that went is skipped, and the command succeeds.
    ASSERT_TRUE(checker.sendCommand(211));
    HWND box = checker.waitForDialog(5000);
    ASSERT_NE(nullptr, box);
    EXPECT_TRUE(pressOk(box));
    const std::wstring removedEntry = removed.substr(3, removed.rfind(L"\\Properties") - 3);
    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, removedEntry.c_str(), 0,
                                           KEY_ALL_ACCESS | (removed[0] == L'6' ? KEY_WOW64_64KEY : 0), &parent));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(parent, L"Properties"));
    RegCloseKey(parent);
    TestRegistry::allowWrites(locked.substr(3));
    ASSERT_TRUE(checker.sendCommand(210));
    EXPECT_EQ(nullptr, checker.waitForDialog(500)) << "an error box after a command that could write";
    ASSERT_TRUE(checker.sendCommand(201));
    EXPECT_TRUE(checker.running());

    // The store: the same keys but the one the test removed; every value as it was, but the
    // format values of the device list's entries, now at 44.1 kHz.
    const Store after = readStore();
    std::set<std::wstring> keysBefore, keysAfter;
    for (const auto& k : before)
        if (k.first != removed) keysBefore.insert(k.first);
    for (const auto& k : after) keysAfter.insert(k.first);
    EXPECT_EQ(keysBefore, keysAfter) << "a key was created or deleted";
    for (const auto& k : before) {
        const auto now = after.find(k.first);
        if (now == after.end()) continue;
        const bool edited = table.count(k.first) != 0;
        for (const auto& v : k.second) {
            const auto value = now->second.find(v.first);
            ASSERT_NE(now->second.end(), value) << "a value went";
            const bool format = v.first == kStoreValue.deviceFormat || v.first == kStoreValue.oemFormat;
            const Value expected = edited && format ? at44k(v.second) : v.second;
            EXPECT_TRUE(expected == value->second)
                << "seed " << GetParam() << (edited ? ", catalogued entry " : ", other entry ")
                << std::string(k.first.begin(), k.first.end()).substr(0, 200);
        }
        EXPECT_EQ(k.second.size(), now->second.size()) << "a value was created";
    }
    size_t values = 0;
    for (const auto& k : before) values += k.second.size();
    printf("seed %u: %u keys, %u values compared; %u catalogued entries edited, 1 removed, 1 locked\n", GetParam(),
           unsigned(before.size()), unsigned(values), unsigned(table.size()));
}

INSTANTIATE_TEST_SUITE_P(Seeds, HostileStoreTest, testing::Range(1u, 11u));

}  // namespace
