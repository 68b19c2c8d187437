#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/registry.h"
#include "support/test_registry.h"

namespace {

const std::wstring kEntry1 = L"{0.0.0.00000000}.{11111111-1111-1111-1111-111111111111}";

// The store's keys are where the tests may write: the test registry owns them.
class RegistryReads : public testing::Test {
protected:
    TestRegistry registry;
};

TEST_F(RegistryReads, StringValues) {
    const std::wstring path = TestRegistry::propertiesPath(L"Render", kEntry1);
    registry.setString(path, L"plain", L"hello");
    registry.setDword(path, L"number", 7);
    // Without a terminator, and an odd byte count.
    registry.setRawValue(path, L"unterminated", REG_SZ, L"abcdef", 6 * sizeof(wchar_t));
    registry.setRawValue(path, L"odd", REG_SZ, L"xyz", 5);

    struct Destination {
        wchar_t text[REGISTRY_STRING_SIZE];
        wchar_t guard[8];
    } d;
    wmemset(d.guard, L'G', 8);
    lstrcpyW(d.text, L"untouched");
    EXPECT_EQ(1, readRegistryString(path.c_str(), L"plain", d.text));
    EXPECT_STREQ(L"hello", d.text);
    EXPECT_EQ(1, readRegistryString(path.c_str(), L"unterminated", d.text));
    EXPECT_STREQ(L"abcdef", d.text);
    EXPECT_EQ(1, readRegistryString(path.c_str(), L"odd", d.text));
    EXPECT_STREQ(L"xy", d.text);

    lstrcpyW(d.text, L"untouched");
    EXPECT_EQ(0, readRegistryString(path.c_str(), L"missing", d.text));
    EXPECT_EQ(0, readRegistryString(path.c_str(), L"number", d.text));
    EXPECT_EQ(0, readRegistryString((path + L"\\nothing").c_str(), L"plain", d.text));
    EXPECT_STREQ(L"untouched", d.text);

    // The longest accepted value (4096 bytes) is cut to the destination; a longer one is refused.
    registry.setRawValue(path, L"long", REG_SZ, std::wstring(2048, L'L').c_str(), 4096);
    registry.setString(path, L"longer", std::wstring(2048, L'M'));  // 4098 bytes with its terminator
    EXPECT_EQ(1, readRegistryString(path.c_str(), L"long", d.text));
    EXPECT_EQ(std::wstring(1023, L'L'), d.text);
    EXPECT_EQ(0, readRegistryString(path.c_str(), L"longer", d.text));
    EXPECT_EQ(std::wstring(1023, L'L'), d.text);
    for (wchar_t g : d.guard) EXPECT_EQ(L'G', g) << "written past the destination";
}

TEST_F(RegistryReads, DwordAndBinaryValues) {
    const std::wstring path = TestRegistry::propertiesPath(L"Render", kEntry1);
    registry.setDword(path, L"number", 0xABCD);
    registry.setString(path, L"text", L"x");
    registry.setBinary(path, L"bytes", {1, 2, 3});
    registry.setBinary(path, L"empty", {});
    registry.setBinary(path, L"full", std::vector<uint8_t>(1024, 9));
    registry.setBinary(path, L"over", std::vector<uint8_t>(1025, 9));
    registry.setValue(path, L"qword", REG_QWORD, "12345678", 8);

    uint32_t number = 5;
    EXPECT_EQ(1, readRegistryDword(path.c_str(), L"number", &number));
    EXPECT_EQ(0xABCDu, number);
    EXPECT_EQ(0, readRegistryDword(path.c_str(), L"text", &number));
    EXPECT_EQ(0, readRegistryDword(path.c_str(), L"qword", &number));
    EXPECT_EQ(0, readRegistryDword(path.c_str(), L"missing", &number));
    EXPECT_EQ(0xABCDu, number);

    struct Destination {
        uint8_t bytes[REGISTRY_BINARY_SIZE];
        uint8_t guard[8];
    } d;
    memset(&d, 0xEE, sizeof(d));
    EXPECT_EQ(3, readRegistryBinary(path.c_str(), L"bytes", d.bytes));
    EXPECT_EQ(2, d.bytes[1]);
    EXPECT_EQ(0, readRegistryBinary(path.c_str(), L"empty", d.bytes));
    EXPECT_EQ(1024, readRegistryBinary(path.c_str(), L"full", d.bytes));
    EXPECT_EQ(-2, readRegistryBinary(path.c_str(), L"over", d.bytes));
    EXPECT_EQ(-1, readRegistryBinary(path.c_str(), L"text", d.bytes));
    EXPECT_EQ(-1, readRegistryBinary(path.c_str(), L"number", d.bytes));
    EXPECT_EQ(-2, readRegistryBinary(path.c_str(), L"missing", d.bytes));
    EXPECT_EQ(0, readRegistryBinary((path + L"\\nothing").c_str(), L"bytes", d.bytes));
    for (uint8_t g : d.guard) EXPECT_EQ(0xEE, g) << "written past the destination";
}

}  // namespace
