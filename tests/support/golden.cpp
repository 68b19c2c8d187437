#include "support/golden.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

const char kDateLine[] = "TEST DATE: ";
const size_t kDateWidth = 21;  // "2026/12/07 - 20:56:21"

// Inside the date and time of a "TEST DATE: " line.
bool onDateLine(const std::string& text, size_t position) {
    const size_t lineStart = position == 0 ? std::string::npos : text.rfind("\r\n", position - 1);
    const size_t start = lineStart == std::string::npos ? 0 : lineStart + 2;
    const size_t prefix = sizeof(kDateLine) - 1;
    return text.compare(start, prefix, kDateLine) == 0 && position >= start + prefix &&
           position < start + prefix + kDateWidth;
}

std::string lineAt(const std::string& text, size_t position) {
    const size_t found = text.rfind("\r\n", position);
    const size_t start = found == std::string::npos ? 0 : found + 2;
    const size_t end = text.find("\r\n", position);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int lineNumber(const std::string& text, size_t position) {
    int line = 1;
    for (size_t i = 0; i < position && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

}  // namespace

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), NULL, 0, NULL, NULL);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], bytes, NULL, NULL);
    return out;
}

std::wstring fromUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), &text[0], int(text.size())));
    return text;
}

std::string readFileBytes(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), f)) > 0) bytes.append(chunk, got);
    fclose(f);
    return bytes;
}

std::string goldenPath(const std::string& name) { return std::string(HV_GOLDEN_DIR) + "/" + name; }

testing::AssertionResult matchesGolden(const std::wstring& report, const std::string& goldenName) {
    return matchesGolden(report, goldenName, std::string(), std::string());
}

testing::AssertionResult matchesGolden(const std::wstring& report, const std::string& goldenName,
                                       const std::string& lineStart, const std::string& replacement) {
    const std::string actual = toUtf8(report);
    std::string golden = readFileBytes(goldenPath(goldenName));
    if (!lineStart.empty()) {
        const size_t at = golden.find("\r\n" + lineStart);
        if (at == std::string::npos) return testing::AssertionFailure() << goldenName << " has no line " << lineStart;
        const size_t end = golden.find("\r\n", at + 2);
        golden.replace(at + 2, end - at - 2, replacement);
    }

    size_t i = 0;
    for (; i < golden.size() && i < actual.size(); ++i) {
        if (golden[i] == actual[i]) continue;
        if (golden[i] == '#' && actual[i] >= '0' && actual[i] <= '9' && onDateLine(golden, i)) continue;
        break;
    }
    if (i == golden.size() && i == actual.size()) return testing::AssertionSuccess();

    if (getenv("HV_UPDATE_GOLDEN") && lineStart.empty()) {
        std::string pattern = actual;
        for (size_t p = 0; p < pattern.size(); ++p)
            if (pattern[p] >= '0' && pattern[p] <= '9' && onDateLine(pattern, p)) pattern[p] = '#';
        FILE* f = fopen(goldenPath(goldenName).c_str(), "wb");
        if (f) {
            fwrite(pattern.data(), 1, pattern.size(), f);
            fclose(f);
        }
        return testing::AssertionFailure() << goldenName << " rewritten; run again";
    }
    if (golden.empty()) return testing::AssertionFailure() << "golden file " << goldenPath(goldenName) << " missing or empty";
    return testing::AssertionFailure() << goldenName << " differs at byte " << i << " (line " << lineNumber(golden, i)
                                       << "):\n  golden: \"" << lineAt(golden, i) << "\"\n  actual: \""
                                       << lineAt(actual, i) << "\"\n  (golden " << golden.size() << " bytes, actual "
                                       << actual.size() << " bytes)";
}

testing::AssertionResult sameBytes(const std::string& expected, const std::string& actual) {
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    if (i == expected.size() && i == actual.size()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "differs at byte " << i << " (line " << lineNumber(expected, i)
                                       << "):\n  expected: \"" << lineAt(expected, i) << "\"\n  actual:   \""
                                       << lineAt(actual, i) << "\"\n  (expected " << expected.size()
                                       << " bytes, actual " << actual.size() << " bytes)";
}
