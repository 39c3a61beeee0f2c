// Each program's --help and its manual page list the same options, and the manual uses no
// option the program does not have. Both lists are read from the texts themselves, so a new
// or renamed option only needs its entry in the manual.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/TextLines.h"

namespace {

using Options = std::set<std::string>;

using testing_text::Lines;

// Every -x / --long-name in `text` that stands at the start or after a space, comma, bar or
// bracket (so "Ctrl-C" or "ISO-8601" are no options).
Options OptionWords(const std::string& text, bool longOnly = false) {
    static const std::regex word(R"((?:^|[\s,|\[(])(--?[A-Za-z][A-Za-z0-9-]*))");
    Options found;
    for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it) {
        const std::string option = (*it)[1];
        if (!longOnly || option.rfind("--", 0) == 0) {
            found.insert(option);
        }
    }
    return found;
}

// The option table of a --help text: indented lines that start with a dash, up to the gap
// before the description ("  -h, --help     Show ..." in Qt's layout, "  -h,--help ..." in
// others). Descriptions that run on to more lines are indented further and start otherwise.
Options HelpOptions(const std::string& help) {
    static const std::regex entry(R"(^ {1,8}(-\S.*?)(?: {2,}.*)?$)");
    Options options;
    for (const std::string& line : Lines(help)) {
        std::smatch m;
        if (std::regex_match(line, m, entry)) {
            options.merge(OptionWords(m[1]));
        }
    }
    return options;
}

// Roff as text: font changes, zero-width marks and escaped dashes and backslashes undone.
std::string PlainRoff(std::string text) {
    static const std::regex font(R"(\\f(?:[BIRP]|\[[A-Z]*\]))");
    text = std::regex_replace(text, font, "");
    for (const auto& [from, to] : {std::pair{"\\&", ""},
                                   {"\\-", "-"},
                                   {"\\(hy", "-"},
                                   {"\\(en", "-"},
                                   {"\\e", "\\"},
                                   {"\\\\", "\\"}}) {
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos;) {
            text.replace(at, std::string(from).size(), to);
            at += std::string(to).size();
        }
    }
    return text;
}

// The entries of the manual's OPTIONS section: the tag line of each item, a text line that
// follows .TP or .IP, or that an indented body (.RS) follows.
Options ManOptions(const std::string& roff) {
    const std::vector<std::string> lines = Lines(roff);
    Options options;
    bool inOptions = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind(".SH", 0) == 0) {
            inOptions = line.find("OPTIONS") != std::string::npos;
            continue;
        }
        if (!inOptions || line.empty() || line[0] == '.') {
            continue;
        }
        const bool afterTag =
            i > 0 && (lines[i - 1].rfind(".TP", 0) == 0 || lines[i - 1].rfind(".IP", 0) == 0);
        const bool beforeBody = i + 1 < lines.size() && lines[i + 1].rfind(".RS", 0) == 0;
        if (afterTag || beforeBody) {
            options.merge(OptionWords(PlainRoff(line)));
        }
    }
    return options;
}

// The long options the manual uses with the program itself: in its SYNOPSIS, and on the
// command lines of examples (lines that start with the program's name).
Options ManUses(const std::string& roff, const std::string& program) {
    Options options;
    bool inSynopsis = false;
    for (const std::string& line : Lines(PlainRoff(roff))) {
        if (line.rfind(".SH", 0) == 0) {
            inSynopsis = line.find("SYNOPSIS") != std::string::npos;
        } else if (inSynopsis || line.rfind(program + " ", 0) == 0) {
            options.merge(OptionWords(line, true));
        }
    }
    return options;
}

std::string RunShell(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return out;
    }
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) {
        out.append(buf, n);
    }
    status = pclose(pipe);
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What `a` holds and `b` does not.
Options Minus(const Options& a, const Options& b) {
    Options rest;
    for (const std::string& o : a) {
        if (!b.contains(o)) {
            rest.insert(o);
        }
    }
    return rest;
}

std::string Listed(const Options& options) {
    std::string text;
    for (const std::string& o : options) {
        text += (text.empty() ? "" : " ") + o;
    }
    return text.empty() ? "(none)" : text;
}

TEST(ManPage, OptionsAgreeWithHelp) {
    for (const char* program : {"fernwell", "fernwell-cli", "fernwell-sim"}) {
        SCOPED_TRACE(program);
        int status = 0;
        const std::string help =
            RunShell(std::string(FERNWELL_BIN_DIR) + "/" + program + " --help 2>&1", status);
        ASSERT_EQ(status, 0) << help;
        const std::string roff = ReadFile(std::string(FERNWELL_MAN_DIR) + "/" + program + ".1");
        ASSERT_FALSE(roff.empty()) << "no manual page " << program << ".1";

        const Options inHelp = HelpOptions(help);
        ASSERT_TRUE(inHelp.contains("--help")) << "no option table found in:\n" << help;
        const Options inManual = ManOptions(roff);

        const Options onlyHelp = Minus(inHelp, inManual);
        const Options onlyManual = Minus(inManual, inHelp);
        const Options unknown = Minus(ManUses(roff, program), inHelp);
        EXPECT_TRUE(onlyHelp.empty())
            << "in --help, not in OPTIONS of " << program << ".1: " << Listed(onlyHelp);
        EXPECT_TRUE(onlyManual.empty())
            << "in OPTIONS of " << program << ".1, not in --help: " << Listed(onlyManual);
        EXPECT_TRUE(unknown.empty())
            << "mentioned in " << program << ".1 but no option: " << Listed(unknown);
    }
}

}  // namespace
