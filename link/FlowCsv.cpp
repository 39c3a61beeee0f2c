#include "link/FlowCsv.h"

#include "protocol/Commands.h"  // FloatText

namespace flowcsv {
namespace {

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string Flag(std::int8_t flag) {
    return flag == kUnknown ? std::string() : std::string(flag ? "1" : "0");
}

}  // namespace

std::string Header(Model model, bool withPort) {
    return std::string("time,") + (withPort ? "port," : "") +
           (model == Model::k640 ? "flowRate,unit,highActivated,lowActivated" : "flowRate,unit");
}

std::string Row(const Reading& r, Model model, const std::string* port, UtcOffsetFunction offset) {
    std::string row = IsoLocalTime(r.timeMs, offset(r.timeMs)) + "," +
                      (port ? Field(*port) + "," : "") + FloatText(r.flowRate) + "," +
                      Field(r.unit);
    if (model == Model::k640) {
        row += "," + Flag(r.highActivated) + "," + Flag(r.lowActivated);
    }
    return row;
}

}  // namespace flowcsv
