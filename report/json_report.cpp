#include "report/json_report.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <initializer_list>

#include "base/owners.h"
#include "base/product.h"
#include "base/text.h"
#include "checks/driver_causes.h"
#include "inventory/device_inventory.h"
#include "report/descriptors.h"
#include "report/text_report.h"
#include "report/what_to_do.h"

namespace {

// Appends to the session's runs, growing the heap block; once an allocation fails the run is
// given up, never written in part.
class Output {
public:
    explicit Output(JsonRuns* runs) : runs_(runs) {}
    bool failed() const { return failed_; }
    void put(const char* bytes, size_t size) {
        if (failed_ || !reserve(size)) return;
        memcpy(runs_->bytes + runs_->length, bytes, size);
        runs_->length += uint32_t(size);
    }
    void put(const char* text) { put(text, strlen(text)); }
    void putByte(char c) { put(&c, 1); }

private:
    bool reserve(size_t size) {
        if (size <= runs_->capacity - runs_->length) return true;
        // Older runs are left out only once the new one is whole, so the block may hold twice the limit.
        if (size > JSON_RUNS_MAX_BYTES || runs_->length + size > 2u * JSON_RUNS_MAX_BYTES) return fail();
        size_t capacity = runs_->capacity ? runs_->capacity : 65536;
        while (capacity - runs_->length < size) capacity *= 2;
        void* grown = runs_->bytes ? heapReallocate(runs_->bytes, capacity) : heapAllocate(capacity);
        if (!grown) return fail();
        runs_->bytes = static_cast<char*>(grown);
        runs_->capacity = uint32_t(capacity);
        return true;
    }
    bool fail() {
        failed_ = true;
        return false;
    }
    JsonRuns* runs_;
    bool failed_ = false;
};

// Objects and arrays with one member per line, two blanks per level.
class JsonWriter {
public:
    JsonWriter(Output& out, int depth) : out_(out), depth_(depth) { members_[depth] = 0; }

    void beginObject(const char* key = NULL) { open(key, '{'); }
    void endObject() { close('}'); }
    void beginArray(const char* key = NULL) { open(key, '['); }
    void endArray() { close(']'); }

    // Text of a field that holds at most `units` units, whether or not it ends in a terminator.
    void text(const char* key, const wchar_t* value, size_t units = size_t(-1)) {
        if (!value) return null(key);
        member(key);
        quoted(value, units);
    }
    // The program's own texts (the catalogue's, the product's): ASCII.
    void ascii(const char* key, const char* value) {
        if (!value) return null(key);
        member(key);
        out_.putByte('"');
        for (const char* c = value; *c; ++c) character(static_cast<unsigned char>(*c));
        out_.putByte('"');
    }
    void number(const char* key, long value) {
        member(key);
        char digits[16];
        _snprintf(digits, sizeof(digits), "%ld", value);
        digits[sizeof(digits) - 1] = 0;
        out_.put(digits);
    }
    // A value Windows gives as 32 unsigned bits (an error code, a status), never negative.
    void unsignedNumber(const char* key, uint32_t value) {
        member(key);
        char digits[16];
        _snprintf(digits, sizeof(digits), "%lu", (unsigned long)value);
        digits[sizeof(digits) - 1] = 0;
        out_.put(digits);
    }
    void null(const char* key) {
        member(key);
        out_.put("null");
    }
    void boolean(const char* key, bool value) {
        member(key);
        out_.put(value ? "true" : "false");
    }

private:
    void newline(int depth) {
        out_.putByte('\n');
        for (int i = 0; i < depth; ++i) out_.put("  ", 2);
    }
    void member(const char* key) {
        if (members_[depth_]++ > 0) out_.putByte(',');
        newline(depth_);
        if (!key) return;
        out_.putByte('"');
        out_.put(key);
        out_.put("\": ", 3);
    }
    void open(const char* key, char bracket) {
        member(key);
        out_.putByte(bracket);
        members_[++depth_] = 0;
    }
    void close(char bracket) {
        if (members_[depth_] > 0) newline(depth_ - 1);
        --depth_;
        out_.putByte(bracket);
    }
    // One code point, escaped where JSON needs it (and for DEL, which no reader wants raw).
    void character(uint32_t c) {
        char bytes[8];
        switch (c) {
        case '"': return out_.put("\\\"", 2);
        case '\\': return out_.put("\\\\", 2);
        case '\n': return out_.put("\\n", 2);
        case '\r': return out_.put("\\r", 2);
        case '\t': return out_.put("\\t", 2);
        default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            _snprintf(bytes, sizeof(bytes), "\\u%04x", unsigned(c));
            return out_.put(bytes, 6);
        }
        if (c < 0x80) return out_.putByte(char(c));
        if (c < 0x800) {
            bytes[0] = char(0xC0 | (c >> 6));
            bytes[1] = char(0x80 | (c & 0x3F));
            return out_.put(bytes, 2);
        }
        if (c < 0x10000) {
            bytes[0] = char(0xE0 | (c >> 12));
            bytes[1] = char(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = char(0x80 | (c & 0x3F));
            return out_.put(bytes, 3);
        }
        bytes[0] = char(0xF0 | (c >> 18));
        bytes[1] = char(0x80 | ((c >> 12) & 0x3F));
        bytes[2] = char(0x80 | ((c >> 6) & 0x3F));
        bytes[3] = char(0x80 | (c & 0x3F));
        out_.put(bytes, 4);
    }
    // UTF-16 to UTF-8; a surrogate half without its partner becomes U+FFFD, as in the text file.
    void quoted(const wchar_t* value, size_t units) {
        const size_t n = wcsnlen(value, units);
        out_.putByte('"');
        for (size_t i = 0; i < n; ++i) {
            const wchar_t c = value[i];
            if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(value[i + 1])) {
                character(0x10000 + ((uint32_t(c) - 0xD800) << 10) + (uint32_t(value[i + 1]) - 0xDC00));
                ++i;
            } else {
                character(isHighSurrogate(c) || isLowSurrogate(c) ? 0xFFFD : uint32_t(c));
            }
        }
        out_.putByte('"');
    }

    Output& out_;
    int depth_;
    int members_[16];
};

void writeDevices(JsonWriter& json, const char* key, const RecordList* list) {
    json.beginArray(key);
    const uint32_t count = list ? recordCount(*list) : 0;
    for (uint32_t i = 1; i <= count; ++i) {
        const DeviceRecord& d = *recordAt(*list, i);
        json.beginObject();
        json.ascii("source", sourceWords(d.kind).jsonName);
        json.text("name", d.pinNameW, PIN_NAME_SIZE);
        wchar_t hardwareId[128];
        formatHardwareId(d, hardwareId);
        json.text("hardwareId", hardwareId);
        if (d.kind == KIND_KS) {
            json.text("interfacePath", d.driverNameW, DRIVER_NAME_SIZE);
        } else {
            json.text("driverName", d.driverNameW, DRIVER_NAME_SIZE);
            json.text("endpointGuid", d.mmDeviceGuid, DEVICE_GUID_SIZE);
            json.text("iconPath", d.iconPath, ICON_PATH_SIZE);
        }
        json.endObject();
    }
    json.endArray();
}

// The filters that stopped answering: in no list, but a desk wants to know which they were.
void writeSilentFilters(JsonWriter& json, const RecordList* list) {
    json.beginArray("silentFilters");
    const uint32_t count = list ? recordCount(*list) : 0;
    for (uint32_t i = 1; i <= count; ++i) {
        const DeviceRecord& f = *recordAt(*list, i);
        json.beginObject();
        json.text("name", f.pinNameW, PIN_NAME_SIZE);
        json.text("interfacePath", f.driverNameW, DRIVER_NAME_SIZE);
        wchar_t hardwareId[128];
        formatHardwareId(f, hardwareId);
        json.text("hardwareId", hardwareId);
        json.beginArray("sides");
        for (Direction side : {DIRECTION_RECORDING, DIRECTION_PLAYBACK})
            if (silentFilterIn(f, side)) json.ascii(NULL, sideWords(side).jsonName);
        json.endArray();
        json.endObject();
    }
    json.endArray();
}

void writeVersion(JsonWriter& json, const char* key, uint32_t version) {
    char digits[12];
    _snprintf(digits, sizeof(digits), "%08X", unsigned(version));
    digits[sizeof(digits) - 1] = 0;
    json.ascii(key, digits);
}

// A cause with the evidence that decided it, as the What To Do text words it; with its steps for
// a row.
// What decided a cause, in fields: the device nodes that say it (the deciding one first), the
// endpoint entry, the audio services that are down.
void writeDecidedBy(JsonWriter& json, const Diagnosis& why, const DriverResult* driver) {
    json.beginObject("decidedBy");
    json.beginArray("deviceNodes");
    if (why.node) {
        json.text(NULL, why.node->instanceId, DEVICE_NODE_ID_SIZE);
        const RowEvidence* row = driver ? &driver->evidence : NULL;
        for (int32_t i = 0; row && i < row->keptNodes && i < ROW_EVIDENCE_CAPACITY; ++i) {
            const DeviceNodeRecord& n = *row->nodes[i];
            if (wcscmp(n.instanceId, why.node->instanceId) != 0 && nodesSayTheSame(n, *why.node))
                json.text(NULL, n.instanceId, DEVICE_NODE_ID_SIZE);
        }
    }
    json.endArray();
    if (why.entry) json.text("endpointGuid", why.entry->endpointGuid, DEVICE_GUID_SIZE);
    else json.null("endpointGuid");
    json.beginArray("services");
    if (why.evidence == EVIDENCE_SERVICE) {
        if (audioServiceDown(why.services.endpointBuilder)) json.text(NULL, ENDPOINT_BUILDER_SERVICE_NAME);
        if (audioServiceDown(why.services.audio)) json.text(NULL, AUDIO_SERVICE_NAME);
    }
    json.endArray();
    json.endObject();
}

void writeDiagnosis(JsonWriter& json, const Diagnosis& why, const DriverResult* driver, bool steps) {
    const CauseDescriptor& cause = causeDescriptor(why.cause);
    const char* name = driver ? driver->displayName : PRODUCT_NAME;
    json.ascii("cause", cause.jsonName);
    writeDecidedBy(json, why, driver);
    if (why.cause == CAUSE_NONE) {
        for (const char* key : {"causeText", "evidenceText", "expected", "found"}) json.null(key);
        if (steps) {
            json.beginArray("steps");
            json.endArray();
        }
        return;
    }
    wchar_t text[REPORT_LINE_SIZE];
    fillCauseText(cause.words, why, name, text, REPORT_LINE_SIZE);
    json.text("causeText", text);
    formatEvidence(why, driver ? driver->hardwareId : "", driver ? &driver->evidence : NULL, text, REPORT_LINE_SIZE);
    json.text("evidenceText", text);
    json.text("expected", why.expected[0] ? why.expected : NULL, EXPECTED_TEXT_SIZE);
    formatFound(why, text, REPORT_LINE_SIZE);
    json.text("found", text[0] ? text : NULL);
    if (!steps) return;
    json.beginArray("steps");
    for (int i = 0; i < CAUSE_STEPS_MAX && cause.steps[i]; ++i) {
        fillCauseText(cause.steps[i], why, name, text, REPORT_LINE_SIZE);
        json.text(NULL, text);
    }
    json.endArray();
}

void writeDeviceNode(JsonWriter& json, const DeviceNodeRecord& n, bool deciding) {
    json.beginObject();
    json.text("instanceId", n.instanceId, DEVICE_NODE_ID_SIZE);
    json.boolean("present", (n.known & NODE_PRESENT) != 0);
    if (n.known & NODE_PROBLEM_KNOWN) json.unsignedNumber("problemCode", n.problemCode);
    else json.null("problemCode");
    if (n.known & NODE_STATUS_KNOWN) json.unsignedNumber("status", n.status);
    else json.null("status");
    // The one reading of its problem that the row's line and cause take too.
    json.ascii("cause", causeDescriptor(causeOfNode(n)).jsonName);
    json.boolean("deciding", deciding);
    json.endObject();
}

// The row's nodes the pass kept, and the one that decides where it was not kept.
void writeDeviceNodes(JsonWriter& json, const RowEvidence& e) {
    json.beginArray("deviceNodes");
    bool decidingWritten = false;
    for (int32_t i = 0; i < e.keptNodes && i < ROW_EVIDENCE_CAPACITY; ++i) {
        const bool deciding = e.deciding && wcscmp(e.nodes[i]->instanceId, e.deciding->instanceId) == 0;
        decidingWritten = decidingWritten || deciding;
        writeDeviceNode(json, *e.nodes[i], deciding);
    }
    if (e.deciding && !decidingWritten) writeDeviceNode(json, *e.deciding, true);
    json.endArray();
}

void writeEndpointEntries(JsonWriter& json, const RowEvidence& e) {
    json.beginArray("endpoints");
    for (int32_t i = 0; i < e.keptEntries && i < ROW_EVIDENCE_CAPACITY; ++i) {
        const WatchedEntry& w = *e.entries[i];
        json.beginObject();
        json.ascii("side", sideWords(w.direction).jsonName);
        json.text("endpointGuid", w.endpointGuid, DEVICE_GUID_SIZE);
        if (w.known & ENTRY_STATE_KNOWN) json.ascii("state", endpointStateWords(w.deviceState).jsonName);
        else json.null("state");
        if (w.known & ENTRY_STATE_KNOWN) json.unsignedNumber("deviceState", w.deviceState);
        else json.null("deviceState");
        json.text("name", (w.known & ENTRY_HAS_NAME) ? w.name : NULL, ENTRY_NAME_SIZE);
        json.text("icon", (w.known & ENTRY_HAS_ICON) ? w.icon : NULL, ICON_PATH_SIZE);
        json.endObject();
    }
    json.endArray();
}

// What Windows keeps of a row's devices.
void writeEvidence(JsonWriter& json, const RowEvidence& e) {
    json.beginObject("evidence");
    json.boolean("gathered", e.gathered);
    json.number("deviceNodeCount", long(e.nodeCount));
    json.number("presentDeviceNodes", long(e.presentNodes));
    json.number("endpointCount", long(e.entryCount));
    writeDeviceNodes(json, e);
    writeEndpointEntries(json, e);
    json.beginArray("listedIn");
    for (const ListedWords& l : LISTED_WORDS)
        if (e.listed & l.list) json.ascii(NULL, l.jsonName);
    json.endArray();
    json.endObject();
}

void writeFinding(JsonWriter& json, const Finding& f, const DriverResult& driver) {
    json.beginObject();
    json.ascii("source", sourceWords(f.source).jsonName);
    json.ascii("side", sideWords(f.side).jsonName);
    json.ascii("kind", findingDescriptor(f.kind).jsonName);
    if (f.value) {
        json.text("value", f.value);
    } else if (f.narrowValue) {
        // Only hardware IDs come without a wide form: converted and cut as the report shows them.
        wchar_t value[128] = L"";
        MultiByteToWideChar(CP_ACP, 0, f.narrowValue, int(strnlen(f.narrowValue, 127)), value, 127);
        json.text("value", value);
    } else {
        json.null("value");
    }
    json.text("otherDevice", f.otherName);
    wchar_t line[REPORT_LINE_SIZE];
    if (formatFindingLine(f, line)) json.text("line", line);
    else json.null("line");
    writeDiagnosis(json, f.why, &driver, false);
    json.endObject();
}

void writeDriver(JsonWriter& json, const DriverResult& d) {
    json.beginObject();
    json.ascii("name", d.displayName);
    json.ascii("hardwareId", d.hardwareId);
    json.ascii("state", driverStateJsonName(d.state));
    // A row that gave no version has none, rather than "00000000".
    const bool versioned = d.state == DRIVER_STATE_WRONG_VERSION || d.state == DRIVER_STATE_INSTALLATION_PROBLEM ||
                           d.state == DRIVER_STATE_CHECKED;
    if (versioned) writeVersion(json, "versionFound", d.version);
    else json.null("versionFound");
    writeVersion(json, "versionExpected", d.expectedVersion);
    json.text("interfaceName", d.state == DRIVER_STATE_CHECKED ? d.interfaceName : NULL, PIN_NAME_SIZE);
    wchar_t line[REPORT_LINE_SIZE];
    formatDriverLine(d, line);
    json.text("line", line);
    json.number("errorCount", long(d.errors));
    json.beginArray("findings");
    for (int32_t i = 0; i < d.findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i) writeFinding(json, d.findings[i], d);
    json.endArray();
    writeDiagnosis(json, d.why, &d, true);
    // Every cause of the row, each with its steps, as What To Do shows them.
    json.beginArray("causes");
    const Diagnosis* causes[DRIVER_FINDINGS_CAPACITY + 1];
    const int32_t count = d.why.cause == CAUSE_NONE ? 0 : rowCauses(d, causes);
    for (int32_t i = 0; i < count; ++i) {
        json.beginObject();
        writeDiagnosis(json, *causes[i], &d, true);
        json.endObject();
    }
    json.endArray();
    writeEvidence(json, d.evidence);
    json.endObject();
}

// A fix made since the test before: what it did, to which target, the value before and after,
// and what became of it.
void writeFix(JsonWriter& json, const FixRecord& fix, FixConfirmation confirmed) {
    const FixActionDescriptor& action = fixActionDescriptor(fix.action);
    wchar_t text[REPORT_LINE_SIZE];
    json.beginObject();
    json.ascii("action", action.jsonName);
    const bool ofRow = fix.row >= 0 && fix.row < DRIVER_CATALOG_SIZE;
    json.ascii("driver", ofRow ? DRIVER_CATALOG[fix.row].displayName : NULL);
    if (fix.action == FIX_RESTORE_NAME || fix.action == FIX_RESTORE_ICON) json.ascii("side", sideWords(fix.side).jsonName);
    else json.null("side");
    json.ascii("targetKind", action.targetKind);
    json.text("target", fix.target, FIX_TARGET_SIZE);
    formatFixWords(fix, text, REPORT_LINE_SIZE);
    json.text("text", text);
    formatFixBefore(fix, text, REPORT_LINE_SIZE);
    json.text("before", text);
    formatFixAfter(fix, text, REPORT_LINE_SIZE);
    json.text("after", text);
    json.ascii("outcome", fixOutcomeDescriptor(fix.outcome).jsonName);
    json.ascii("note", fixNoteDescriptor(fix.note).jsonName);
    if (fix.outcome == FIX_NOT_DONE && fix.note == FIX_NOTE_NONE) {
        json.unsignedNumber("error", fix.error);
        windowsMessage(fix.error, text, REPORT_LINE_SIZE);
        json.text("errorText", text);
    } else {
        json.null("error");
        json.null("errorText");
    }
    if (confirmed == FIX_NOT_CONFIRMED) json.null("confirmedByTest");
    else json.boolean("confirmedByTest", confirmed == FIX_CONFIRMED);
    formatFixLine(fix, confirmed, text);
    json.text("line", text);
    json.endObject();
}

void writeFixes(JsonWriter& json, const RunResults& r) {
    if (!r.fixes) return json.null("fixes");
    json.beginArray("fixes");
    for (int32_t i = 0; i < r.fixes->count && i < FIXES_CAPACITY; ++i) writeFix(json, r.fixes->fixes[i], r.confirmed[i]);
    json.endArray();
}

void writeRun(JsonWriter& json, const RunResults& r) {
    json.beginObject();
    json.ascii("checkerVersion", r.checkerVersion);
    char date[32];
    const SYSTEMTIME& t = r.testDate;
    _snprintf(date, sizeof(date), "%04u-%02u-%02uT%02u:%02u:%02uZ", unsigned(t.wYear), unsigned(t.wMonth),
              unsigned(t.wDay), unsigned(t.wHour), unsigned(t.wMinute), unsigned(t.wSecond));
    date[sizeof(date) - 1] = 0;
    json.ascii("testDate", date);
    json.text("computerName", r.machine.computerName, COMPUTER_NAME_SIZE);
    json.boolean("elevated", r.machine.elevated);
    json.beginObject("windows");
    json.ascii("release", windowsReleaseName(r.os));
    json.ascii("class", osClassName(r.os.osClass));
    json.number("bits", r.is64BitWindows ? 64 : 32);
    json.number("build", long(r.os.osBuild));
    json.endObject();
    json.number("initializationValue", long(r.initValue));
    if (r.integrity.cause == CAUSE_NONE) {
        json.null("checkerIntegrity");
    } else {
        json.beginObject("checkerIntegrity");
        writeDiagnosis(json, r.integrity, NULL, true);
        json.endObject();
    }
    json.beginObject("audioServices");
    json.boolean("gathered", r.evidenceGathered);
    json.ascii("windowsAudio", serviceStateWords(r.services.audio).jsonName);
    json.ascii("endpointBuilder", serviceStateWords(r.services.endpointBuilder).jsonName);
    json.endObject();
    writeFixes(json, r);
    json.boolean("restartNeeded", r.restartNeeded);
    json.number("errorTotal", long(r.errorTotal));
    json.ascii("conclusion", r.conclusion == CONCLUSION_ERRORS_DETECTED ? "errorsDetected" : "ok");
    writeDevices(json, "recordingDevices", r.recordingDevices);
    writeDevices(json, "playbackDevices", r.playbackDevices);
    writeSilentFilters(json, r.silentFilters);
    json.beginArray("drivers");
    for (const DriverResult& d : r.drivers) writeDriver(json, d);
    json.endArray();
    json.endObject();
}

// Leaves out the oldest runs, keeping the rest in place at the start of the block.
void dropOldest(JsonRuns* runs, int32_t count) {
    if (count <= 0) return;
    if (count >= runs->runCount) {
        runs->runsLeftOut += runs->runCount;
        runs->runCount = 0;
        runs->length = 0;
        return;
    }
    const uint32_t from = runs->runStarts[count];  // the next run's text, behind its comma
    memmove(runs->bytes, runs->bytes + from, runs->length - from);
    runs->length -= from;
    for (int32_t i = count; i < runs->runCount; ++i) runs->runStarts[i - count] = runs->runStarts[i] - from;
    runs->runCount -= count;
    runs->runsLeftOut += count;
}

}  // namespace

void appendJsonRun(JsonRuns* runs, const RunResults& results) {
    if (runs->runCount == JSON_RUNS_MAX) dropOldest(runs, 1);
    const uint32_t start = runs->length;
    Output out(runs);
    if (runs->runCount > 0) out.put(",", 1);
    const uint32_t runStart = runs->length;
    JsonWriter json(out, 2);
    writeRun(json, results);
    if (out.failed()) {
        runs->length = start;  // a run is kept whole or not at all
        ++runs->runsLeftOut;
        return;
    }
    runs->runStarts[runs->runCount++] = runStart;
    // Within the limit the newest runs stay; the newest always does.
    int32_t drop = 0;
    while (runs->runCount - drop > 1 && runs->length - runs->runStarts[drop] > JSON_RUNS_MAX_BYTES) ++drop;
    dropOldest(runs, drop);
}

void releaseJsonRuns(JsonRuns* runs) {
    heapRelease(runs->bytes);
    memset(runs, 0, sizeof(*runs));
}

bool writeJsonDocument(const JsonRuns& runs, JsonSink sink, void* context) {
    char head[256];
    _snprintf(head, sizeof(head),
              "{\n  \"schemaVersion\": %d,\n  \"product\": \"%s\",\n  \"runsLeftOut\": %ld,\n  \"runs\": [",
              int(JSON_SCHEMA_VERSION), PRODUCT_NAME, long(runs.runsLeftOut));
    head[sizeof(head) - 1] = 0;
    if (!sink(head, strlen(head), context)) return false;
    if (runs.runCount > 0 && !sink(runs.bytes, runs.length, context)) return false;
    const char* tail = runs.runCount > 0 ? "\n  ]\n}\n" : "]\n}\n";
    return sink(tail, strlen(tail), context);
}
