#include <gtest/gtest.h>

#include <windows.h>
#include <imagehlp.h>

#include <string>
#include <vector>

#include "app/integrity_check.h"
#include "base/pe_checksum.h"
#include "support/golden.h"
#include "support/test_files.h"

namespace {

// A minimal PE32 image: DOS header, PE signature, file header, a 224-byte optional header.
std::vector<uint8_t> minimalImage(size_t size = 512) {
    std::vector<uint8_t> image(size, 0);
    for (size_t i = 0; i < size; ++i) image[i] = uint8_t(i * 7 + 3);
    image[0] = 'M';
    image[1] = 'Z';
    const uint32_t peOffset = 0x80;
    for (int i = 0; i < 4; ++i) image[0x3C + i] = uint8_t(peOffset >> (8 * i));
    image[peOffset] = 'P';
    image[peOffset + 1] = 'E';
    image[peOffset + 2] = 0;
    image[peOffset + 3] = 0;
    image[peOffset + 4 + 16] = 224;  // SizeOfOptionalHeader
    image[peOffset + 4 + 17] = 0;
    image[peOffset + 24] = 0x0B;  // PE32 magic
    image[peOffset + 25] = 0x01;
    for (int i = 0; i < 4; ++i) image[peOffset + 4 + 20 + 64 + i] = 0;  // not stamped yet
    return image;
}

const size_t kChecksumField = 0x80 + 4 + 20 + 64;

std::wstring wide(const std::string& path) { return std::wstring(path.begin(), path.end()); }

uint32_t storedChecksum(const std::vector<uint8_t>& image) {
    return image[kChecksumField] | image[kChecksumField + 1] << 8 | image[kChecksumField + 2] << 16 |
           uint32_t(image[kChecksumField + 3]) << 24;
}

TEST(ImageChecksum, MatchesTheWindowsImageChecksum) {
    // CheckSumMappedFile is Windows' own definition of the header checksum.
    for (size_t size : {512u, 513u, 4096u, 4097u}) {
        std::vector<uint8_t> image = minimalImage(size);
        image[kChecksumField] = 0x11;  // whatever is stored must not count
        // Windows sums whole words: an odd last byte is read with the zero that follows it in a
        // mapped file.
        image.push_back(0);
        DWORD headerSum = 0, windowsSum = 0;
        ASSERT_NE(nullptr, CheckSumMappedFile(image.data(), DWORD(size), &headerSum, &windowsSum));
        EXPECT_EQ(windowsSum, computeImageChecksum(image.data(), size, kChecksumField)) << "size " << size;
    }
}

TEST(ImageChecksum, StampedImagePassesAndAnyChangedByteFails) {
    std::vector<uint8_t> image = minimalImage();
    EXPECT_EQ(INTEGRITY_NOT_STAMPED, checkImageIntegrity(image.data(), image.size()));
    ASSERT_EQ(INTEGRITY_OK, stampImage(image.data(), image.size()));
    EXPECT_NE(0u, storedChecksum(image));
    EXPECT_EQ(INTEGRITY_OK, checkImageIntegrity(image.data(), image.size()));

    for (size_t i = 0; i < image.size(); ++i) {
        if (i >= kChecksumField && i < kChecksumField + 4) continue;
        std::vector<uint8_t> changed = image;
        changed[i] ^= 0x01;
        const int32_t result = checkImageIntegrity(changed.data(), changed.size());
        // A changed header byte may make the file no executable at all; it never passes.
        EXPECT_NE(INTEGRITY_OK, result) << "byte " << i;
    }

    std::vector<uint8_t> appended = image;
    appended.push_back(0);
    EXPECT_EQ(INTEGRITY_MISMATCH, checkImageIntegrity(appended.data(), appended.size()));
    std::vector<uint8_t> cut(image.begin(), image.end() - 2);
    EXPECT_EQ(INTEGRITY_MISMATCH, checkImageIntegrity(cut.data(), cut.size()));
}

TEST(ImageChecksum, MalformedHeadersAreNoExecutable) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
    } cases[] = {
        {"no MZ", [](std::vector<uint8_t>& i) { i[1] = 'X'; }},
        {"PE offset past the end", [](std::vector<uint8_t>& i) { i[0x3D] = 0x10; }},
        {"PE offset that wraps", [](std::vector<uint8_t>& i) { i[0x3C] = 0xF0; i[0x3D] = i[0x3E] = i[0x3F] = 0xFF; }},
        {"PE offset leaving no room for the headers", [](std::vector<uint8_t>& i) { i[0x3C] = 0xF8; i[0x3D] = 0x01; }},
        {"no PE signature", [](std::vector<uint8_t>& i) { i[0x81] = 'X'; }},
        {"unknown optional header magic", [](std::vector<uint8_t>& i) { i[0x80 + 25] = 0x03; }},
        {"optional header too short for the field", [](std::vector<uint8_t>& i) { i[0x80 + 20] = 60; }},
        {"file ends inside the field", [](std::vector<uint8_t>& i) { i.resize(kChecksumField + 2); }},
        {"file shorter than a DOS header", [](std::vector<uint8_t>& i) { i.resize(40); }},
        {"empty file", [](std::vector<uint8_t>& i) { i.clear(); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> image = minimalImage();
        c.damage(image);
        EXPECT_EQ(INTEGRITY_NOT_EXECUTABLE, checkImageIntegrity(image.data(), image.size())) << c.what;
        EXPECT_EQ(INTEGRITY_NOT_EXECUTABLE, stampImage(image.data(), image.size())) << c.what;
    }
    EXPECT_EQ(INTEGRITY_NOT_EXECUTABLE, checkImageIntegrity(nullptr, 0));
}

TEST(ExecutableIntegrity, TheBuiltCheckerIsStamped) {
    EXPECT_EQ(INTEGRITY_OK, checkExecutableIntegrity(wide(checkerExePath()).c_str()));
}

TEST(ExecutableIntegrity, FilesOnDisk) {
    TempDirectory dir;
    std::vector<uint8_t> image = minimalImage(3001);
    ASSERT_EQ(INTEGRITY_OK, stampImage(image.data(), image.size()));
    const std::string good = dir.write("good.exe", image);
    EXPECT_EQ(INTEGRITY_OK, checkExecutableIntegrity(wide(good).c_str()));
    // A folder and a name outside the ANSI code page (Cyrillic and Greek on a Western one).
    const std::wstring folder = dir.widePath() + L"\\\u0417\u0430\u0433\u0440\u0443\u0437\u043a\u0438";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
    const std::wstring foreign = folder + L"\\\u03b4\u03bf\u03ba\u03b9\u03bc\u03ae.exe";
    ASSERT_TRUE(CopyFileW(wide(good).c_str(), foreign.c_str(), TRUE));
    EXPECT_EQ(INTEGRITY_OK, checkExecutableIntegrity(foreign.c_str()));

    image[2000] ^= 0x80;
    EXPECT_EQ(INTEGRITY_MISMATCH, checkExecutableIntegrity(wide(dir.write("changed.exe", image)).c_str()));
    EXPECT_EQ(INTEGRITY_NOT_STAMPED, checkExecutableIntegrity(wide(dir.write("plain.exe", minimalImage())).c_str()));
    EXPECT_EQ(INTEGRITY_NOT_EXECUTABLE, checkExecutableIntegrity(wide(dir.write("text.txt", std::vector<uint8_t>(100, 'a'))).c_str()));
    EXPECT_EQ(INTEGRITY_NOT_EXECUTABLE, checkExecutableIntegrity(wide(dir.write("empty.exe", std::vector<uint8_t>())).c_str()));
    EXPECT_EQ(INTEGRITY_CANNOT_READ, checkExecutableIntegrity((dir.widePath() + L"\\missing.exe").c_str()));
    EXPECT_EQ(INTEGRITY_CANNOT_READ, checkExecutableIntegrity(dir.widePath().c_str()));
    EXPECT_EQ(INTEGRITY_CANNOT_READ, checkExecutableIntegrity(L""));
    EXPECT_EQ(INTEGRITY_CANNOT_READ, checkExecutableIntegrity(nullptr));
    // The name as the ANSI form of it reads: the file is not found by it.
    std::wstring questionMarks = foreign;
    for (wchar_t& c : questionMarks)
        if (c > 0x7F) c = L'?';
    EXPECT_EQ(INTEGRITY_CANNOT_READ, checkExecutableIntegrity(questionMarks.c_str()));
    // A file that someone holds open without sharing cannot be read, wherever it is.
    HANDLE locked = CreateFileW(foreign.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_EQ(INTEGRITY_CANNOT_READ, checkExecutableIntegrity(foreign.c_str()));
    CloseHandle(locked);
}

TEST(ExecutableIntegrity, FileTooLargeIsNotRead) {
    TempDirectory dir;
    const std::string path = dir.write("large.exe", minimalImage());
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LONG high = 0;
    SetFilePointer(file, INTEGRITY_MAX_FILE_SIZE + 1, &high, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(INTEGRITY_TOO_LARGE, checkExecutableIntegrity(wide(path).c_str()));
}

TEST(ExecutableIntegrity, EveryResultHasItsOwnDescription) {
    const int32_t results[] = {INTEGRITY_OK, INTEGRITY_CANNOT_READ, INTEGRITY_NOT_EXECUTABLE,
                               INTEGRITY_NOT_STAMPED, INTEGRITY_MISMATCH, INTEGRITY_TOO_LARGE};
    for (int32_t a : results)
        for (int32_t b : results)
            if (a != b) EXPECT_STRNE(describeIntegrityResult(a), describeIntegrityResult(b));
}

std::wstring signatureText(const SignatureCheck& check) {
    wchar_t text[MAX_PATH + 200];
    describeSignature(check, text, MAX_PATH + 200);
    return text;
}

// What Windows says of signatures, in the file or through a catalogue of the system: the checker
// and a text file carry none, a file changed after it was signed no longer matches, a driver
// file listed in an installed catalogue is signed through it (and says which), and a copy of it
// changed by one byte is listed nowhere. (Wine's WinVerifyTrust trusts the throwaway signer that
// Windows would refuse, and does not check a catalogue's own content, so an untrusted signer and
// a changed catalogue cannot be shown here.)
TEST(ExecutableIntegrity, DigitalSignatures) {
    TempDirectory dir;
    const std::string text = dir.write("notes.txt", std::vector<uint8_t>(100, 'a'));
    const std::string signedDir = programFolder() + "signed\\";
    InstalledCatalogue catalogue(wide(signedDir + "catalogue.cat"));
    ASSERT_TRUE(catalogue.added());
    // Where the system keeps the catalogues of drivers.
    const std::wstring drivers = L"C:\\windows\\system32\\catroot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\";
    EXPECT_EQ(0, _wcsnicmp(drivers.c_str(), catalogue.installedPath().c_str(), drivers.size()))
        << toUtf8(catalogue.installedPath());
    std::string changedCopy;
    ASSERT_TRUE(readWholeFile(wide(signedDir + "catalogued.sys"), &changedCopy));
    changedCopy[changedCopy.size() / 2] ^= 0x20;
    const std::string unlisted = dir.write("changed copy.sys", std::vector<uint8_t>(changedCopy.begin(), changedCopy.end()));
    const std::wstring none = L"Digital signature: none. Nothing shows who made the file.";
    const struct {
        std::string path;
        int32_t result;
        std::wstring sentence;
    } cases[] = {
        {checkerExePath(), -1, none},
        {text, -1, none},
        {unlisted, -1, none},
        {signedDir + "changed.dll", -3, L"Digital signature: does not match: the file was changed after it was signed."},
        {signedDir + "catalogued.sys", 0,
         L"Digital signature: valid, and trusted by Windows.\nSigned through the catalogue " + catalogue.installedPath()},
        {dir.path() + "\\missing.exe", -5, L"Digital signature: cannot be checked: the file cannot be read."},
    };
    for (const auto& c : cases) {
        SignatureCheck check;
        checkFileSignature(wide(c.path).c_str(), &check);
        EXPECT_EQ(c.result, check.result) << c.path;
        EXPECT_EQ(c.sentence, signatureText(check)) << c.path;
    }
    // A file held open without sharing cannot be read, signed or not.
    HANDLE locked = CreateFileA((signedDir + "catalogued.sys").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    SignatureCheck check;
    checkFileSignature(wide(signedDir + "catalogued.sys").c_str(), &check);
    CloseHandle(locked);
    EXPECT_EQ(-5, check.result);

    // The sentences of the results Wine cannot produce.
    const struct {
        int32_t result;
        const wchar_t* catalogue;
        const wchar_t* text;
    } sentences[] = {
        {0, L"", L"Digital signature: valid, and trusted by Windows."},
        {-2, L"C:\\c\\x.cat", L"Digital signature: present, but Windows does not trust the signer.\nSigned through the catalogue C:\\c\\x.cat"},
        {-3, L"C:\\c\\x.cat", L"Digital signature: does not match: the catalogue was changed after it was signed.\nSigned through the catalogue C:\\c\\x.cat"},
        {-4, L"", L"Digital signature: cannot be checked on this system."},
    };
    for (const auto& c : sentences) {
        SignatureCheck given = {c.result, L""};
        lstrcpynW(given.catalogue, c.catalogue, MAX_PATH);
        EXPECT_EQ(c.text, signatureText(given)) << c.result;
    }
}

}  // namespace
