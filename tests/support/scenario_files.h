// The golden scenarios as files for the JSON report check (tests/report/check_json_reports.py): a
// scenario leaves <name>.json, written by the product's JSON report file writer, and <name>.txt,
// the text report of the same tests, in jsonScenarioFolder().
#pragma once

#include <string>

#include "report/checker_run.h"
#include "report/json_report.h"

// Runs the test and renders its text into the log, its JSON run and its What To Do texts (each
// may be null) as the product does, and plans the fixes of its causes where asked.
int32_t runAndRender(const RunContext& context, LogBuffer* log, JsonRuns* json, LogBuffer* whatToDo = nullptr,
                     FixList* plan = nullptr, LogBuffer* whatToDoForFile = nullptr);
void saveScenario(const std::string& name, const JsonRuns& runs, const std::wstring& text);
// The whole JSON document of the runs, as the report file holds it.
std::string jsonDocument(const JsonRuns& runs);
