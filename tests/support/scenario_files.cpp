#include "support/scenario_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/report_file.h"
#include "support/json_folder.h"

void saveScenario(const std::string& name, const JsonRuns& runs, const std::wstring& text) {
    const char* folder = jsonScenarioFolder();
    if (!folder) return;
    const std::string base = std::string(folder) + "\\" + name;
    const std::wstring json(base.begin(), base.end());
    EXPECT_EQ(0, writeJsonReportFile((json + L".json").c_str(), runs)) << name;
    EXPECT_EQ(0, writeReportFile((json + L".txt").c_str(), {text.c_str()})) << name;
}

int32_t runAndRender(const RunContext& context, LogBuffer* log, JsonRuns* json, LogBuffer* whatToDo, FixList* plan,
                     LogBuffer* whatToDoForFile) {
    RunResults results;
    const int32_t total = runTest(context, &results);
    const RunReports reports = {log, json, whatToDo, whatToDoForFile};
    renderRun(results, reports);
    if (plan) planFixes(results.drivers, results.services, context.os->osClass, context.is64BitWindows, plan);
    return total;
}

namespace {

bool appendTo(const void* bytes, size_t size, void* text) {
    static_cast<std::string*>(text)->append(static_cast<const char*>(bytes), size);
    return true;
}

}  // namespace

std::string jsonDocument(const JsonRuns& runs) {
    std::string text;
    EXPECT_TRUE(writeJsonDocument(runs, appendTo, &text));
    return text;
}
