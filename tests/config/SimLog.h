#pragma once
// The simulator with a record of what it received: fernwell-sim --verbose logs every command
// line on its standard error, which goes into a temporary file.

#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QTest>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/common/SimProcess.h"

namespace fwtest {

class LoggedSim {
public:
    LoggedSim(const std::string& portsDir, std::vector<std::string> args) {
        log_.setAutoRemove(true);
        if (!log_.open()) {
            return;
        }
        args.push_back("--verbose");
        sim_.emplace(SimProcess::Options{.args = std::move(args),
                                         .portsDir = portsDir,
                                         .stderrFile = log_.fileName().toStdString()});
    }

    bool Ok() const { return sim_ && sim_->Ok(); }
    std::string Error() const { return sim_ ? sim_->Error() : "no log file"; }

    // Every setting command received so far ("k=1.696500"), queries left out, CR dropped.
    std::vector<std::string> Settings() const {
        std::vector<std::string> lines;
        std::ifstream in(log_.fileName().toStdString());
        std::string line;
        const std::string prefix = "fernwell-sim: \"";
        while (std::getline(in, line)) {
            const std::size_t close = line.rfind('"');
            if (line.rfind(prefix, 0) != 0 || close <= prefix.size()) {
                continue;
            }
            const std::string command = line.substr(prefix.size(), close - prefix.size());
            if (command.size() >= 2 && command[1] == '=') {
                lines.push_back(command);
            }
        }
        return lines;
    }

    // Waits until at least `count` setting commands have arrived.
    std::vector<std::string> WaitSettings(std::size_t count, int timeoutMs = 3000) const {
        QElapsedTimer clock;
        clock.start();
        std::vector<std::string> lines = Settings();
        while (lines.size() < count && clock.elapsed() < timeoutMs) {
            QTest::qWait(10);
            lines = Settings();
        }
        return lines;
    }

private:
    QTemporaryFile log_;
    std::optional<SimProcess> sim_;
};

// The commands of an upload as the simulator logs them: without their CR.
inline std::vector<std::string> WithoutCr(std::vector<std::string> commands) {
    for (std::string& c : commands) {
        if (!c.empty() && c.back() == '\r') {
            c.pop_back();
        }
    }
    return commands;
}

}  // namespace fwtest
