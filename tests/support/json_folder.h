// Where the tests leave the JSON reports of their scenarios, with the text report of the same
// tests, for the schema check that runs after them (tests/report/json_reports.sh): HV_JSON_OUT
// where set, else the build's folder for them; null where neither is.
#pragma once

#include <stdlib.h>

inline const char* jsonScenarioFolder() {
    const char* folder = getenv("HV_JSON_OUT");
    if (folder && folder[0]) return folder;
#ifdef HV_JSON_DIR
    return HV_JSON_DIR;
#else
    return nullptr;
#endif
}
