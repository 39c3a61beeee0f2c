#pragma once
// The journal: one JSON line for every upload, from the window or fernwell-cli, in the user's
// state folder ($XDG_STATE_HOME/fernwell/journal.jsonl, ~/.local/state/fernwell when unset;
// %LOCALAPPDATA%\Fernwell\journal.jsonl on Windows). A line says when, who (program, version
// and login name), where (port and model), which module (its two text lines), its settings
// before (from the read that precedes every upload) and the settings sent, and how it ended.
//
// A line goes to the file in one append of the whole line, so a crash or a full disk never
// leaves half a line; a write that falls short is cut off again. The journal is the user's
// own file: nothing here rewrites or trims it.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/Device.h"    // UploadReport
#include "protocol/ReadBack.h"  // ReadBackMismatch
#include "records/SettingsFile.h"

// How an upload ended, as the caller saw it.
struct UploadOutcome {
    LinkResult upload = kLinkOk;  // SendConfig's result
    UploadReport report;          // how far it got (where it stopped when upload != kLinkOk)
    bool verifyRun = true;        // false: the read-back was not asked for (--no-verify)
    LinkResult verify = kLinkOk;  // VerifyConfig's result, when it ran
    std::vector<ReadBackMismatch> mismatches;
};

// Who wrote a line and where the module is.
struct JournalSource {
    std::string program;  // "fernwell" or "fernwell-cli"
    std::string port;     // "COM3" or a device path
};

// The journal's line for one upload (without its newline). "outcome" is one of "verified",
// "differs" (with "mismatches": field, sent, held), "stopped" (with "stoppedAfter": the last
// command that went out whole, "" when none did, and "error"), "not read back" (the read-back
// failed: "error") and "not verified" (--no-verify).
nlohmann::json JournalLine(const JournalSource& source, const ModuleRecord& before,
                           const ModuleRecord& sent, const UploadOutcome& outcome);

// $XDG_STATE_HOME/fernwell/journal.jsonl (or its Windows place).
std::string JournalPath();

// Appends `line` and a newline to the journal at `path` (creating the folder and the file as
// needed) in one write; the error to tell the technician when it could not be written.
std::optional<std::string> AppendJournalLine(const std::string& path, const nlohmann::json& line);
// JournalLine appended to JournalPath(): what an upload calls when it has ended. The error
// text names the journal's path.
std::optional<std::string> JournalUpload(const JournalSource& source, const ModuleRecord& before,
                                         const ModuleRecord& sent, const UploadOutcome& outcome);

// The journal's lines, oldest first; a line that is not JSON is skipped and counted.
struct JournalRead {
    std::vector<nlohmann::json> lines;
    int skipped = 0;
    std::optional<std::string> error;  // the file exists but cannot be read
};
JournalRead ReadJournal(const std::string& path);

// One line as fernwell-cli's history prints it: "2026-12-11T09:30:12.250+01:00 COM3 640
// fernwell-cli verified (by ann)".
std::string JournalLineText(const nlohmann::json& line);
// The outcome of the last upload to `port` in `lines` as the commissioning report gives it,
// with its time; nullopt when the journal has none for that port.
std::optional<std::string> LastUploadText(const std::vector<nlohmann::json>& lines,
                                          const std::string& port);
