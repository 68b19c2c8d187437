#include "app/command_line.h"

#include <wchar.h>

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// A character of an argument as Windows' argument splitting gives it, and whether it stood
// inside a quoted part: "-x.txt" is a path that starts with a dash, -x.txt is a switch.
struct ArgumentCharacter {
    wchar_t c;
    bool quoted;
};

// Reads a command line argument by argument and character by character, by the rules of
// CommandLineToArgvW (and the C runtime that ships with Windows): blanks outside quotes end an
// argument; 2n backslashes before a quote give n backslashes and the quote opens or closes a
// quoted part; 2n+1 give n and a literal quote; other backslashes are literal; a doubled quote
// inside a quoted part gives one quote and closes the part (newer C runtimes keep it open;
// launchers do not write it).
class ArgumentReader {
public:
    explicit ArgumentReader(const wchar_t* text) : p_(text) {}

    // Skips what is left of the current argument and the blanks behind it; false when no
    // argument follows.
    bool nextArgument() {
        ArgumentCharacter ignored;
        while (next(&ignored)) {
        }
        while (isBlank(*p_)) ++p_;
        inArgument_ = *p_ != 0;
        quoted_ = false;
        return inArgument_;
    }

    // The next character of the current argument; false at its end.
    bool next(ArgumentCharacter* out) {
        for (;;) {
            if (!inArgument_) return false;
            if (backslashes_ > 0) {
                --backslashes_;
                return put(out, L'\\');
            }
            if (literalQuote_) {
                literalQuote_ = false;
                return put(out, L'"');
            }
            if (*p_ == 0 || (!quoted_ && isBlank(*p_))) {
                inArgument_ = false;
                return false;
            }
            if (*p_ == L'\\') {
                const wchar_t* run = p_;
                while (*p_ == L'\\') ++p_;
                const size_t count = size_t(p_ - run);
                if (*p_ != L'"') {
                    backslashes_ = count;
                } else {
                    // Half of them before a quote; an odd one makes the quote a character.
                    backslashes_ = count / 2;
                    if (count % 2) {
                        literalQuote_ = true;
                        ++p_;
                    }
                }
                continue;
            }
            if (*p_ == L'"') {
                if (quoted_ && p_[1] == L'"') {
                    p_ += 2;
                    const bool wasQuoted = put(out, L'"');
                    quoted_ = false;
                    return wasQuoted;
                }
                quoted_ = !quoted_;
                ++p_;
                continue;
            }
            return put(out, *p_++);
        }
    }

private:
    bool put(ArgumentCharacter* out, wchar_t c) const {
        out->c = c;
        out->quoted = quoted_;
        return true;
    }

    const wchar_t* p_;
    bool inArgument_ = false;
    bool quoted_ = false;
    size_t backslashes_ = 0;    // literal backslashes still to give
    bool literalQuote_ = false;  // a quote still to give, behind them
};

// The path of "-o" as the arguments give it, before it is resolved.
struct GivenPath {
    bool given;
    bool tooLong;  // longer than a report path can be: cut, it would name another file
    wchar_t text[REPORT_PATH_CAPACITY];
};

// Reads the first character of a path into *first, past blanks (quoted ones: unquoted blanks
// end the argument, and a path never starts with a blank); false when the argument has no more.
bool firstOfPath(ArgumentReader& reader, ArgumentCharacter* first) {
    while (reader.next(first))
        if (!isBlank(first->c)) return true;
    return false;
}

// Takes the path that starts with first and runs to the end of the argument.
void takePath(ArgumentReader& reader, ArgumentCharacter first, GivenPath* path) {
    size_t length = 0;
    path->given = true;
    path->tooLong = false;
    for (ArgumentCharacter c = first;;) {
        if (length + 1 < REPORT_PATH_CAPACITY) path->text[length++] = c.c;
        else path->tooLong = true;
        if (!reader.next(&c)) break;
    }
    path->text[length] = 0;
}

// A switch is a dash or a slash and the letter behind it: "-h" and "/h" alike.
bool isSwitchMark(wchar_t c) { return c == L'-' || c == L'/'; }

// Where a path would start, an unquoted dash starts a switch instead; a slash is the path's
// (-o //server/share/r.txt), since paths start with slashes and never with dashes.
bool startsSwitch(const ArgumentCharacter& c) { return c.c == L'-' && !c.quoted; }

enum PathOfO { PATH_TAKEN, PATH_IS_A_SWITCH, NO_PATH };

// What follows "-o": the rest of this argument, or when that is empty the whole next one. Either
// holds the path, or a dash that starts a switch where the path would start (*c, to be scanned as
// any other character of the argument that now is current), or nothing ("" names no file).
PathOfO readPathOfO(ArgumentReader& reader, ArgumentCharacter* c, GivenPath* path) {
    ArgumentCharacter first;
    if (!firstOfPath(reader, &first) && !(reader.nextArgument() && firstOfPath(reader, &first))) return NO_PATH;
    if (startsSwitch(first)) {
        *c = first;
        return PATH_IS_A_SWITCH;
    }
    takePath(reader, first, path);
    return PATH_TAKEN;
}

bool isLetter(const ArgumentCharacter& c, wchar_t lower) { return (c.c | 0x20) == lower; }

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if ((c | 0x20) >= L'a' && (c | 0x20) <= L'f') return (c | 0x20) - L'a' + 10;
    return -1;
}

// Up to 16 hexadecimal digits behind a colon; *c gets the first character behind them. Returns
// whether one follows (false: the argument ended), and *digits how many were read.
bool readHex(ArgumentReader& reader, ArgumentCharacter* c, uint64_t* value, int* digits) {
    *value = 0;
    *digits = 0;
    for (;;) {
        if (!reader.next(c)) return false;
        const int v = hexValue(c->c);
        if (v < 0 || *digits == 16) return true;
        *value = *value << 4 | uint64_t(v);
        ++*digits;
    }
}

// What follows "-fix": nothing, ":<agreed>", or ":<agreed>:<token>" (16 digits). *c gets the
// character behind them, to be scanned as any other; false when the argument ended.
bool readFixValues(ArgumentReader& reader, ArgumentCharacter* c, StartSwitches* switches) {
    switches->fix = true;
    switches->fixAgreed = ~uint64_t(0);
    if (!reader.next(c)) return false;
    if (c->c != L':') return true;
    uint64_t agreed = 0, token = 0;
    int digits = 0;
    bool more = readHex(reader, c, &agreed, &digits);
    if (digits > 0) switches->fixAgreed = agreed;
    if (!more || c->c != L':') return more;
    more = readHex(reader, c, &token, &digits);
    switches->replyToWindow = digits == 16;
    switches->replyToken = token;
    return more;
}

// "-fix" is the one switch of a word: behind "-f", "ix" (any case) makes it; any other
// character is scanned as usual (*c). False when the argument ended.
bool readFix(ArgumentReader& reader, ArgumentCharacter* c, StartSwitches* switches) {
    if (!reader.next(c)) return false;
    if (!isLetter(*c, L'i')) return true;
    if (!reader.next(c)) return false;
    if (!isLetter(*c, L'x')) return true;
    return readFixValues(reader, c, switches);
}

void setSwitch(wchar_t letter, StartSwitches* switches) {
    if (letter == L'h' || letter == L'H') switches->startHidden = true;
    else if (letter == L's' || letter == L'S') switches->showAfterRun = true;
    else if (letter == L'?') switches->showUsage = true;
}

// Decides the switches: the dashes and slashes of the arguments as Windows splits them, quoted
// or not; what the path of "-o" takes is never looked at for switches.
void readSwitches(ArgumentReader& reader, StartSwitches* switches, GivenPath* path) {
    for (bool haveArgument = reader.nextArgument(); haveArgument; haveArgument = reader.nextArgument()) {
        ArgumentCharacter c;
        bool more = reader.next(&c);
        while (more) {
            ArgumentCharacter letter;
            if (!isSwitchMark(c.c)) {
                more = reader.next(&c);
                continue;
            }
            // The letter is the one behind the dash or slash in the same argument.
            if (!reader.next(&letter)) break;
            if (letter.c == L'o' || letter.c == L'O') {
                if (readPathOfO(reader, &c, path) == PATH_IS_A_SWITCH) continue;
                break;  // the path ends its argument
            }
            if (isLetter(letter, L'f')) {
                more = readFix(reader, &c, switches);
                continue;
            }
            setSwitch(letter.c, switches);
            // Each switch needs its own dash: scanning goes on behind the letter.
            more = reader.next(&c);
        }
    }
}

// The report path, resolved against the current directory now; a path too long to hold whole,
// or to resolve, is kept as an empty one, so that every write fails rather than going to
// another file.
void resolveReportPath(const GivenPath& path, StartSwitches* switches) {
    switches->reportToFile = true;
    switches->reportPath[0] = 0;
    if (path.tooLong) return;
    const DWORD full = GetFullPathNameW(path.text, REPORT_PATH_CAPACITY, switches->reportPath, NULL);
    if (full == 0 || full >= REPORT_PATH_CAPACITY) switches->reportPath[0] = 0;
}

}  // namespace

const wchar_t* argumentsOf(const wchar_t* processCommandLine) {
    if (!processCommandLine) return L"";
    const wchar_t* p = processCommandLine;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {
        }
        if (*p == L'"') ++p;
    } else {
        while (*p && !isBlank(*p)) ++p;
    }
    while (isBlank(*p)) ++p;
    return p;
}

StartSwitches parseCommandLine(const wchar_t* commandLine) {
    StartSwitches switches;
    ZeroMemory(&switches, sizeof(switches));
    if (!commandLine) return switches;
    ArgumentReader reader(commandLine);
    GivenPath path;
    path.given = false;
    readSwitches(reader, &switches, &path);
    if (path.given) resolveReportPath(path, &switches);
    // A hidden run never shows a window: with "-h", "-?" is ignored and the run goes on.
    if (switches.startHidden) switches.showUsage = false;
    // Fixes change Windows: only in a hidden run, which "-fix" asks for by name.
    if (!switches.startHidden) switches.fix = switches.replyToWindow = false;
    return switches;
}
