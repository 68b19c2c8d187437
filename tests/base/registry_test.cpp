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

TEST_F(RegistryReads, DwordAndBinaryValuesOfAnOpenKey) {
    const std::wstring path = TestRegistry::propertiesPath(L"Render", kEntry1);
    registry.setDword(path, L"number", 0xABCD);
    registry.setString(path, L"text", L"x");
    registry.setBinary(path, L"bytes", {1, 2, 3});
    registry.setBinary(path, L"empty", {});
    registry.setBinary(path, L"full", std::vector<uint8_t>(1024, 9));
    registry.setBinary(path, L"over", std::vector<uint8_t>(1025, 9));
    registry.setValue(path, L"qword", REG_QWORD, "12345678", 8);

    RegistryKey key;
    ASSERT_TRUE(key.open(path.c_str(), KEY_READ, 0));
    uint32_t number = 5;
    EXPECT_EQ(1, readDwordValue(key.get(), L"number", &number));
    EXPECT_EQ(0xABCDu, number);
    EXPECT_EQ(0, readDwordValue(key.get(), L"text", &number));
    EXPECT_EQ(0, readDwordValue(key.get(), L"qword", &number));
    EXPECT_EQ(0, readDwordValue(key.get(), L"missing", &number));
    EXPECT_EQ(0xABCDu, number);

    struct Destination {
        uint8_t bytes[REGISTRY_BINARY_SIZE];
        uint8_t guard[8];
    } d;
    memset(&d, 0xEE, sizeof(d));
    EXPECT_EQ(3, readBinaryValue(key.get(), L"bytes", d.bytes));
    EXPECT_EQ(2, d.bytes[1]);
    EXPECT_EQ(0, readBinaryValue(key.get(), L"empty", d.bytes));
    EXPECT_EQ(1024, readBinaryValue(key.get(), L"full", d.bytes));
    EXPECT_EQ(-2, readBinaryValue(key.get(), L"over", d.bytes));
    EXPECT_EQ(-1, readBinaryValue(key.get(), L"text", d.bytes));
    EXPECT_EQ(-1, readBinaryValue(key.get(), L"number", d.bytes));
    EXPECT_EQ(-2, readBinaryValue(key.get(), L"missing", d.bytes));
    for (uint8_t g : d.guard) EXPECT_EQ(0xEE, g) << "written past the destination";
}

// A binary value is only ever rewritten, never created.
TEST_F(RegistryReads, BinaryWritesReplaceOnlyExistingValues) {
    const std::wstring path = TestRegistry::propertiesPath(L"Render", kEntry1);
    registry.setBinary(path, L"bytes", {1, 2, 3});
    RegistryKey key;
    ASSERT_TRUE(key.open(path.c_str(), KEY_QUERY_VALUE | KEY_SET_VALUE, 0));
    const uint8_t data[4] = {9, 8, 7, 6};
    EXPECT_EQ(1, writeBinaryValue(key.get(), L"bytes", data, 4));
    EXPECT_EQ(0, writeBinaryValue(key.get(), L"missing", data, 4));
    uint8_t read[REGISTRY_BINARY_SIZE];
    EXPECT_EQ(4, readBinaryValue(key.get(), L"bytes", read));
    EXPECT_EQ(0, memcmp(read, data, 4));
    EXPECT_EQ(-2, readBinaryValue(key.get(), L"missing", read)) << "a value was created";
}

}  // namespace
