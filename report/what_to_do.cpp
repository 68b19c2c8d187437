#include "report/what_to_do.h"

#include <stdio.h>
#include <wchar.h>

#include "base/text.h"
#include "report/descriptors.h"
#include "report/text_report.h"

namespace {

// How the text is laid out: in the view, with each driver's report lines and the report's own
// separators; at the end of a report file, with neither.
struct Form {
    bool inFile;
    const char* separator;
};
const Form kView = {false, REPORT_SEPARATOR};
const Form kFile = {true, "=================================================================="};

bool sameAdvice(const Diagnosis& a, const Diagnosis& b);

// A finding as the report's line names it, without a closing period: a list of them has its own
// punctuation. Empty for a finding without a line.
void explainedLabel(const Finding& f, wchar_t (&label)[128]) {
    formatFindingLabel(f, label, 128);
    const size_t length = wcslen(label);
    if (length && label[length - 1] == L'.') label[length - 1] = 0;
}

// The findings of a row that a cause explains, in the report's own words, each once
// ("MME Input - Bad Pin Name; WDM Input - Bad Pin Name").
void appendExplained(LogBuffer* text, const DriverResult& driver, const Diagnosis& why) {
    wchar_t line[REPORT_LINE_SIZE] = L"Explains: ";
    size_t at = wcslen(line);
    bool any = false;
    for (int32_t i = 0; i < driver.findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i) {
        if (!sameAdvice(driver.findings[i].why, why)) continue;
        wchar_t label[128];
        explainedLabel(driver.findings[i], label);
        if (!label[0]) continue;
        bool named = false;
        for (int32_t k = 0; k < i && !named; ++k) {
            wchar_t earlier[128];
            explainedLabel(driver.findings[k], earlier);
            named = sameAdvice(driver.findings[k].why, why) && wcscmp(earlier, label) == 0;
        }
        if (named) continue;
        for (const wchar_t* c = any ? L"; " : L""; *c && at + 1 < REPORT_LINE_SIZE; ++c) line[at++] = *c;
        for (const wchar_t* c = label; *c && at + 1 < REPORT_LINE_SIZE; ++c) line[at++] = *c;
        line[at] = 0;
        any = true;
    }
    if (any) appendWide(text, line);
}

// One cause of a row: its words, the devices it explains, the evidence, what was expected and
// found, and its steps.
void appendCause(LogBuffer* text, const Diagnosis& why, const char* driver, const char* hardwareId,
                 const DriverResult* row) {
    const CauseDescriptor& cause = causeDescriptor(why.cause);
    wchar_t words[REPORT_LINE_SIZE], line[REPORT_LINE_SIZE + 32];
    fillCauseText(cause.words, why, driver, words, REPORT_LINE_SIZE);
    _snwprintf(line, REPORT_LINE_SIZE + 32, L"Why: %ls.", words);
    line[REPORT_LINE_SIZE + 31] = 0;
    appendWide(text, line);
    if (row) appendExplained(text, *row, why);
    formatEvidence(why, hardwareId, row ? &row->evidence : NULL, words, REPORT_LINE_SIZE);
    // What Windows keeps is what Windows says; the rest is the checker's own finding.
    _snwprintf(line, REPORT_LINE_SIZE + 32, evidenceFromWindows(why.evidence) ? L"Windows says: %ls." : L"The checker found: %ls.",
               words);
    line[REPORT_LINE_SIZE + 31] = 0;
    appendWide(text, line);
    if (why.expected[0]) {
        _snwprintf(line, REPORT_LINE_SIZE + 32, L"Expected: %ls", why.expected);
        line[REPORT_LINE_SIZE + 31] = 0;
        appendWide(text, line);
    }
    formatFound(why, words, REPORT_LINE_SIZE);
    if (words[0] && why.evidence != EVIDENCE_ENDPOINT_STATE) {
        _snwprintf(line, REPORT_LINE_SIZE + 32, L"Found: %ls", words);
        line[REPORT_LINE_SIZE + 31] = 0;
        appendWide(text, line);
    }
    appendNarrow(text, "What to do:");
    for (int i = 0; i < CAUSE_STEPS_MAX && cause.steps[i]; ++i) {
        fillCauseText(cause.steps[i], why, driver, words, REPORT_LINE_SIZE);
        _snwprintf(line, REPORT_LINE_SIZE + 32, L"  %d. %ls", i + 1, words);
        line[REPORT_LINE_SIZE + 31] = 0;
        appendWide(text, line);
    }
}

bool sameAdvice(const Diagnosis& a, const Diagnosis& b) {
    if (a.cause != b.cause || wcscmp(a.expected, b.expected) != 0) return false;
    wchar_t foundA[ICON_PATH_SIZE], foundB[ICON_PATH_SIZE];
    formatFound(a, foundA, ICON_PATH_SIZE);
    formatFound(b, foundB, ICON_PATH_SIZE);
    return wcscmp(foundA, foundB) == 0;
}

void appendDriver(LogBuffer* text, const DriverResult& driver, const Form& form) {
    appendNarrow(text, driver.displayName);
    if (!form.inFile) appendDriverSection(driver, text);
    const Diagnosis* shown[DRIVER_FINDINGS_CAPACITY + 1];
    const int32_t count = rowCauses(driver, shown);
    for (int32_t k = 0; k < count; ++k) {
        if (!form.inFile) appendNarrow(text, " ");
        appendCause(text, *shown[k], driver.displayName, driver.hardwareId, &driver);
    }
    appendNarrow(text, form.separator);
}

// What the fixes before this test did: what was changed, what was not and why. What is left
// follows with its steps.
void appendFixes(LogBuffer* text, const RunResults& results, const Form& form) {
    appendNarrow(text, "FIXES MADE BEFORE THIS TEST");
    const FixList& fixes = *results.fixes;
    for (int32_t i = 0; i < fixes.count && i < FIXES_CAPACITY; ++i) {
        const FixRecord& fix = fixes.fixes[i];
        wchar_t words[REPORT_LINE_SIZE], before[FIX_TEXT_SIZE], after[FIX_TEXT_SIZE], outcome[REPORT_LINE_SIZE];
        wchar_t line[REPORT_LINE_SIZE * 2];
        formatFixWords(fix, words, REPORT_LINE_SIZE);
        formatFixBefore(fix, before, FIX_TEXT_SIZE);
        formatFixAfter(fix, after, FIX_TEXT_SIZE);
        formatFixOutcome(fix, results.confirmed[i] == FIX_STILL_FOUND, outcome, REPORT_LINE_SIZE);
        // The table's words are ASCII.
        if (outcome[0] >= L'a' && outcome[0] <= L'z') outcome[0] = wchar_t(outcome[0] - L'a' + L'A');
        _snwprintf(line, REPORT_LINE_SIZE * 2, L"%ls: %ls (%ls): %ls -> %ls.", outcome, words, fix.target, before, after);
        line[REPORT_LINE_SIZE * 2 - 1] = 0;
        makeLineSafe(line);
        appendWide(text, line);
    }
    appendNarrow(text, form.separator);
}

bool noneInstalled(const RunResults& results) {
    for (const DriverResult& driver : results.drivers)
        if (driver.state != DRIVER_STATE_NOT_INSTALLED) return false;
    return true;
}

void render(const RunResults& results, LogBuffer* text, const Form& form) {
    clear(text);
    char line[NARROW_LINE_UNITS];
    if (form.inFile) {
        appendNarrow(text, form.separator);
        appendNarrow(text, "WHAT TO DO AFTER THE LAST TEST");
    } else {
        appendNarrow(text, "WHAT TO DO");
        // The test's date line, as its report has it.
        formatTestDateLine(results.testDate, results.checkerVersion, line, sizeof(line));
        appendNarrow(text, line);
        appendNarrow(text, form.separator);
    }
    if (results.errorTotal > 0)
        _snprintf(line, sizeof(line), "%i error%s found. For each driver with a problem: %swhy, and the steps that fix it.",
                  int(results.errorTotal), results.errorTotal == 1 ? "" : "s",
                  form.inFile ? "" : "its lines in the report, ");
    else if (noneInstalled(results))
        _snprintf(line, sizeof(line), "No error found: none of Halvane's drivers is installed on this computer.");
    else
        _snprintf(line, sizeof(line), "No error found: the drivers need nothing.");
    line[sizeof(line) - 1] = 0;
    appendNarrow(text, line);
    appendNarrow(text, form.separator);
    if (results.fixes) appendFixes(text, results, form);
    if (results.integrity.cause != CAUSE_NONE) {
        appendNarrow(text, "Halvane Devices Checker");
        appendCause(text, results.integrity, "Halvane Devices Checker", "", NULL);
        appendNarrow(text, form.separator);
    }
    for (const DriverResult& driver : results.drivers)
        if (driver.why.cause != CAUSE_NONE) appendDriver(text, driver, form);
}

}  // namespace

void renderWhatToDo(const RunResults& results, LogBuffer* text) { render(results, text, kView); }

void renderWhatToDoForFile(const RunResults& results, LogBuffer* text) {
    if (results.errorTotal > 0 || results.integrity.cause != CAUSE_NONE) render(results, text, kFile);
    else clear(text);
}

int32_t rowCauses(const DriverResult& driver, const Diagnosis** causes) {
    int32_t count = 0;
    causes[count++] = &driver.why;
    for (int32_t i = 0; i < driver.findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i) {
        const Diagnosis& why = driver.findings[i].why;
        bool seen = false;
        for (int32_t k = 0; k < count && !seen; ++k) seen = sameAdvice(*causes[k], why);
        if (!seen) causes[count++] = &why;
    }
    return count;
}

uint32_t windowsPlacesOf(const RunResults& results) {
    uint32_t places = causeDescriptor(results.integrity.cause).place;
    for (const DriverResult& driver : results.drivers) {
        if (driver.why.cause == CAUSE_NONE) continue;
        places |= causeDescriptor(driver.why.cause).place;
        for (int32_t i = 0; i < driver.findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i)
            places |= causeDescriptor(driver.findings[i].why.cause).place;
    }
    return places;
}
