#include "records/Journal.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <variant>

#include "link/TimeStamp.h"
#include "records/LoginName.h"
#include "records/RecordFields.h"
#include "store/AppendWhole.h"
#include "store/StateFolder.h"
#include "store/Utf8Path.h"
#include "texts/Strings.h"

namespace {

// A command as the journal names it: without the CR that ends every command.
std::string CommandText(const std::string& command) {
    return !command.empty() && command.back() == '\r' ? command.substr(0, command.size() - 1)
                                                      : command;
}

// Why an upload stopped, as the window's message box and fernwell-cli put it.
std::string StoppedText(LinkResult upload, const UploadReport& report) {
    if (upload != kLinkWriteFailed && upload != kLinkCancelled) {
        return res::kErrorCommunicating;  // the port was closed: nothing went out
    }
    std::string text = StoppedUploadText(upload, report);
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text + " " + res::kUploadPartial;
}

// A key of a line as text: a string as it is, a number as its digits, anything else as "".
// The journal is the user's file; a line edited by hand must not stop the history.
std::string FieldText(const nlohmann::json& line, const char* key) {
    if (!line.is_object()) {
        return {};
    }
    const auto found = line.find(key);
    if (found == line.end()) {
        return {};
    }
    if (found->is_string()) {
        return found->get<std::string>();
    }
    if (found->is_number_integer() || found->is_number_unsigned()) {
        return found->dump();
    }
    if (found->is_number_float()) {
        return NumberText(found->get<double>());
    }
    return {};
}

}  // namespace

nlohmann::json JournalLine(const JournalSource& source, const ModuleRecord& before,
                           const ModuleRecord& sent, const UploadOutcome& outcome) {
    nlohmann::json line = nlohmann::json::object();
    line["time"] = IsoLocalTime(NowMs());
    line["program"] = JsonString(source.program);
    line["version"] = FERNWELL_VERSION;
    line["user"] = JsonString(LoginName());
    line["port"] = JsonString(source.port);
    line["model"] = ModelNumber(ModelOf(before));
    line["text"] = std::visit(
        [](const auto& record) {
            return nlohmann::json::array({JsonLatin1(record.text1), JsonLatin1(record.text2)});
        },
        before);
    line["before"] = SettingsJson(before);
    line["sent"] = SettingsJson(sent);
    if (outcome.upload != kLinkOk) {
        const UploadReport& report = outcome.report;
        line["outcome"] = "stopped";
        line["stoppedAfter"] =
            report.commandsSent > 0 &&
                    report.commandsSent <= static_cast<int>(report.commands.size())
                ? JsonString(CommandText(
                      report.commands[static_cast<std::size_t>(report.commandsSent - 1)]))
                : nlohmann::json("");
        line["error"] = JsonString(StoppedText(outcome.upload, report));
    } else if (!outcome.verifyRun) {
        line["outcome"] = "not verified";
    } else if (outcome.verify != kLinkOk) {
        line["outcome"] = "not read back";
        line["error"] = res::kVerifyUnread;
    } else if (!outcome.mismatches.empty()) {
        line["outcome"] = "differs";
        nlohmann::json mismatches = nlohmann::json::array();
        for (const ReadBackMismatch& m : outcome.mismatches) {
            mismatches.push_back(
                {{"field", m.field}, {"sent", JsonLatin1(m.sent)}, {"held", JsonLatin1(m.held)}});
        }
        line["mismatches"] = std::move(mismatches);
    } else {
        line["outcome"] = "verified";
    }
    return line;
}

std::string JournalPath() {
    const std::string folder = StateFolder();
    return folder.empty() ? std::string() : Utf8Text(Utf8Path(folder) / "journal.jsonl");
}

std::optional<std::string> AppendJournalLine(const std::string& path, const nlohmann::json& line) {
    std::string text = JsonText(line, /*compact=*/true);
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    text += '\n';
    if (const std::optional<std::string> reason = AppendWhole(path, text)) {
        return "The journal could not be written (" + path + "): " + *reason +
               ". The upload itself is not affected.";
    }
    return std::nullopt;
}

std::optional<std::string> JournalUpload(const JournalSource& source, const ModuleRecord& before,
                                         const ModuleRecord& sent, const UploadOutcome& outcome) {
    return AppendJournalLine(JournalPath(), JournalLine(source, before, sent, outcome));
}

JournalRead ReadJournal(const std::string& path) {
    JournalRead read;
    const std::filesystem::path file = Utf8Path(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return read;  // no upload journaled yet
    }
    if (error) {
        read.error = path + ": " + error.message();
        return read;
    }
    if (status.type() == std::filesystem::file_type::directory) {
        read.error = path + ": " + std::strerror(EISDIR);
        return read;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        read.error = path + ": " + std::strerror(errno);
        return read;
    }
    std::string text;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();  // a line an editor on Windows saved again
        }
        if (text.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        nlohmann::json line = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
        if (line.is_object()) {
            read.lines.push_back(std::move(line));
        } else {
            ++read.skipped;
        }
    }
    if (in.bad()) {
        read.error = path + ": " + std::strerror(EIO);
    }
    return read;
}

std::string JournalLineText(const nlohmann::json& line) {
    std::string text = FieldText(line, "time") + " " + FieldText(line, "port") + " " +
                       FieldText(line, "model") + " " + FieldText(line, "program") + " " +
                       FieldText(line, "outcome");
    if (const std::string user = FieldText(line, "user"); !user.empty()) {
        text += " (by " + user + ")";
    }
    return text;
}

std::optional<std::string> LastUploadText(const std::vector<nlohmann::json>& lines,
                                          const std::string& port) {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (FieldText(*it, "port") != port) {
            continue;
        }
        std::string text = FieldText(*it, "outcome");
        if (const auto mismatches = it->find("mismatches");
            mismatches != it->end() && mismatches->is_array() && !mismatches->empty()) {
            std::string fields;
            for (const nlohmann::json& m : *mismatches) {
                fields += (fields.empty() ? "" : ", ") + FieldText(m, "field");
            }
            text += " (" + fields + ")";
        }
        return text + " at " + FieldText(*it, "time");
    }
    return std::nullopt;
}
