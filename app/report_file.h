// The report file that "-o" and "Save Report As..." write, safely for the scripts that collect
// it: the whole log as UTF-8 text with a byte-order mark, so that Notepad on every Windows
// version reads it, or every run of the session as JSON.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "app/safe_file.h"
#include "report/json_report.h"

// The text a report file holds: the log, and after it, where the last run had problems, that
// run's What To Do for the file (null or empty: none). Each up to its terminator.
struct ReportText {
    const wchar_t* log;
    const wchar_t* whatToDo;
};

// Writes the text (null parts are empty) as UTF-8 with a byte-order mark through
// replaceFileSafely. Unpaired UTF-16 surrogates become U+FFFD on every Windows version.
SafeFileResult writeReportFile(const wchar_t* path, const ReportText& text);

// The session's runs as the JSON report: UTF-8 without a byte-order mark, written as the text
// report is.
SafeFileResult writeJsonReportFile(const wchar_t* path, const JsonRuns& runs);

// A report path that asks for JSON: its name ends in ".json", in any letter case.
bool isJsonReportPath(const wchar_t* path);
// Writes the report the path asks for: JSON or text.
SafeFileResult writeReport(const wchar_t* path, const ReportText& text, const JsonRuns& runs);
