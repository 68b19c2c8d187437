// Golden report files: the exact bytes a report must have (UTF-8, CR LF). In the golden file a
// '#' on the "TEST DATE: " line stands for any digit, since the date is the run's own.
// With HV_UPDATE_GOLDEN=1 in the environment a mismatch rewrites the golden file instead.
#pragma once

#include <gtest/gtest.h>

#include <string>

std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& bytes);
std::string readFileBytes(const std::string& path);
std::string goldenPath(const std::string& name);

testing::AssertionResult matchesGolden(const std::wstring& report, const std::string& goldenName);
// The same, with one whole line of the golden (found by its start) replaced first.
testing::AssertionResult matchesGolden(const std::wstring& report, const std::string& goldenName,
                                       const std::string& lineStart, const std::string& replacement);
// Two texts compared byte for byte; a difference names its offset and line instead of
// printing both texts whole.
testing::AssertionResult sameBytes(const std::string& expected, const std::string& actual);
