#include "cmdline/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <map>

namespace {

bool TakesValue(const CLI::Option* option) {
    return option->get_items_expected_max() > 0;
}

// How the option is named to CLI11: its first long name, else its letter.
std::string TableName(const CLI::Option* option) {
    if (!option->get_lnames().empty()) {
        return "--" + option->get_lnames().front();
    }
    return "-" + option->get_snames().front();
}

// Every name of every option, without its dashes: --h and -help name the same option as -h.
std::map<std::string, const CLI::Option*> NamesOf(const CLI::App& app) {
    std::map<std::string, const CLI::Option*> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_snames()) {
            names.emplace(name, option);
        }
        for (const std::string& name : option->get_lnames()) {
            names.emplace(name, option);
        }
    }
    return names;
}

// Splits the words into options (with their values) and arguments. The values are not looked
// at here.
class Lexer {
public:
    Lexer(const CLI::App& app, const std::vector<std::string>& words)
        : names_(NamesOf(app)), words_(words) {}

    std::vector<std::pair<const CLI::Option*, std::string>> found;
    std::vector<std::string> arguments;
    std::vector<std::string> unknown;
    std::string error;  // a value missing or where none belongs

    void Run(DashWord dashWord) {
        bool onlyArguments = false;
        for (i_ = 1; i_ < words_.size(); ++i_) {
            const std::string& word = words_[i_];
            if (onlyArguments) {
                arguments.push_back(word);
            } else if (word.rfind("--", 0) == 0) {
                if (word.size() == 2) {
                    onlyArguments = true;
                } else {
                    Option(word.substr(2, word.find('=') - 2), word);
                }
            } else if (word.size() > 1 && word[0] == '-' && !IsNegativeNumber(word)) {
                if (dashWord == DashWord::kLongOption) {
                    Option(word.substr(1, word.find('=') - 1), word);
                } else {
                    Letters(word);
                }
            } else {
                arguments.push_back(word);  // also "-", which stands for standard input or output
            }
        }
    }

private:
    // "-1", "-2.5", "-.5": no option name begins with a digit or a point, so such a word is a
    // value (calc -1 then says what is wrong with the diameter, not "Unknown option '1'").
    static bool IsNegativeNumber(const std::string& word) {
        const char c = word[1];
        return (c >= '0' && c <= '9') || (c == '.' && word.size() > 2);
    }

    const CLI::Option* Find(const std::string& name) {
        const auto it = names_.find(name);
        if (it == names_.end()) {
            unknown.push_back(name);
            return nullptr;
        }
        return it->second;
    }

    // `word` names the option `name`: its value follows "=" or is the next word.
    void Option(const std::string& name, const std::string& word) {
        if (const CLI::Option* option = Find(name)) {
            Value(option, word);
        }
    }

    void Value(const CLI::Option* option, const std::string& word) {
        const std::size_t assign = word.find('=');
        if (!TakesValue(option)) {
            if (assign != std::string::npos) {
                error = "Unexpected value after '" + word.substr(0, assign) + "'.";
            } else {
                found.emplace_back(option, std::string());
            }
        } else if (assign != std::string::npos) {
            found.emplace_back(option, word.substr(assign + 1));
        } else if (i_ + 1 < words_.size()) {
            found.emplace_back(option, words_[++i_]);
        } else {
            error = "Missing value after '" + word + "'.";
        }
    }

    // -abc: a, b and c; the first letter that wants a value takes the rest of the word (after
    // an "=") or the next word.
    void Letters(const std::string& word) {
        const CLI::Option* last = nullptr;
        for (std::size_t pos = 1; pos < word.size(); ++pos) {
            last = Find(word.substr(pos, 1));
            if (last == nullptr) {
                continue;
            }
            const bool more = pos + 1 < word.size();
            if (TakesValue(last)) {
                if (more) {
                    found.emplace_back(last, word.substr(word[pos + 1] == '=' ? pos + 2 : pos + 1));
                    return;
                }
                break;
            }
            if (more && word[pos + 1] == '=') {
                break;
            }
            if (more) {
                found.emplace_back(last, std::string());
            }
        }
        if (last != nullptr) {
            Value(last, word);
        }
    }

    std::map<std::string, const CLI::Option*> names_;
    const std::vector<std::string>& words_;
    std::size_t i_ = 0;
};

std::string Join(const std::vector<std::string>& items, const char* separator) {
    std::string joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        joined += (i == 0 ? "" : separator) + items[i];
    }
    return joined;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Digits with an optional sign in front; `text` is trimmed already.
template <typename T>
bool ReadWhole(std::string digits, T& value, int base) {
    if (!digits.empty() && digits[0] == '+') {
        digits.erase(0, 1);
        if (!digits.empty() && digits[0] == '-') {
            return false;
        }
    }
    if (digits.empty() || digits == "-") {
        return false;
    }
    T v{};
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, v, base);
    if (ec != std::errc() || ptr != end) {
        return false;
    }
    value = v;
    return true;
}

// Two columns: the names, padded to `width`, and the description wrapped to end by column 79.
std::string Columns(const std::string& names, std::size_t width, const std::string& description) {
    std::string text;
    std::size_t nameIndex = 0;
    const auto nextNames = [&] {
        std::string section = names.substr(std::min(nameIndex, names.size()), width);
        nameIndex += section.size();
        return section;
    };
    const std::size_t max = 79 - (2 + width + 1);
    std::size_t lineStart = 0;
    long lastBreakable = -1;
    std::size_t x = 0;
    const std::size_t len = description.size();
    for (std::size_t i = 0; i < len; ++i) {
        ++x;
        const char c = description[i];
        if (IsSpace(c)) {
            lastBreakable = static_cast<long>(i);
        }
        long breakAt = -1;
        std::size_t nextLineStart = 0;
        if (x > max && lastBreakable != -1) {
            breakAt = lastBreakable;
            nextLineStart = static_cast<std::size_t>(lastBreakable) + 1;
        } else if ((x > max - 1 && lastBreakable == -1) || i == len - 1) {
            breakAt = static_cast<long>(i) + 1;
            nextLineStart = i + 1;
        } else if (c == '\n') {
            breakAt = static_cast<long>(i);
            nextLineStart = i + 1;
        }
        if (breakAt != -1) {
            std::string section = nextNames();
            section.resize(std::max(section.size(), width), ' ');
            text += "  " + section + " " +
                    description.substr(lineStart, static_cast<std::size_t>(breakAt) - lineStart) +
                    "\n";
            x = 0;
            lastBreakable = -1;
            lineStart = nextLineStart;
            if (lineStart < len && IsSpace(description[lineStart])) {
                ++lineStart;  // a line does not start with a space
            }
            i = lineStart;
        }
    }
    while (nameIndex < names.size()) {
        text += "  " + nextNames() + "\n";
    }
    return text;
}

}  // namespace

std::variant<CommandLine, std::string> ReadCommandLine(CLI::App& app,
                                                       const std::vector<std::string>& arguments,
                                                       DashWord dashWord) {
    Lexer lexer(app, arguments);
    lexer.Run(dashWord);
    if (!lexer.error.empty()) {
        return lexer.error;
    }
    if (lexer.unknown.size() == 1) {
        return "Unknown option '" + lexer.unknown.front() + "'.";
    }
    if (lexer.unknown.size() > 1) {
        return "Unknown options: " + Join(lexer.unknown, ", ") + ".";
    }

    // The options again in CLI11's own terms, each value as a word of its own, so that CLI11
    // takes it whatever it looks like. The table's parse order then gives the order across
    // option names (--model 612 --port 1 --model 640 --port 2).
    std::vector<std::string> words;
    for (const auto& [option, value] : lexer.found) {
        words.push_back(TableName(option));
        if (TakesValue(option)) {
            words.push_back(value);
        }
    }
    std::reverse(words.begin(), words.end());  // CLI11 takes its words last first
    app.clear();
    try {
        app.parse(words);
    } catch (const CLI::ParseError& e) {
        return std::string(e.what());  // the table does not take what the lexer found
    }
    CommandLine line;
    std::map<const CLI::Option*, std::size_t> taken;
    for (const CLI::Option* option : app.parse_order()) {
        std::string value;
        if (TakesValue(option)) {
            value = option->results().at(taken[option]++);
        }
        line.options.push_back({option, value});
    }
    line.arguments = std::move(lexer.arguments);
    return line;
}

bool IsGiven(const CommandLine& line, const CLI::Option* option) {
    return std::any_of(line.options.begin(), line.options.end(),
                       [option](const GivenOption& given) { return given.option == option; });
}

std::string LastValue(const CommandLine& line, const CLI::Option* option) {
    std::string value;
    for (const GivenOption& given : line.options) {
        if (given.option == option) {
            value = given.value;
        }
    }
    return value;
}

std::string HelpText(const CLI::App& app, const std::string& program,
                     const std::string& description, const std::vector<ArgumentHelp>& arguments) {
    const std::vector<const CLI::Option*> options = app.get_options();
    std::string usage = program + (options.empty() ? "" : " [options]");
    for (const ArgumentHelp& argument : arguments) {
        usage += " " + argument.syntax;
    }
    std::string text = "Usage: " + usage + "\n";
    if (!description.empty()) {
        text += description + "\n";
    }
    text += "\n";
    if (!options.empty()) {
        text += "Options:\n";
    }
    std::vector<std::string> names;
    std::size_t longest = 0;
    for (const CLI::Option* option : options) {
        std::vector<std::string> each;
        for (const std::string& name : option->get_snames()) {
            each.push_back("-" + name);
        }
        for (const std::string& name : option->get_lnames()) {
            each.push_back("--" + name);
        }
        std::string shown = Join(each, ", ");
        if (TakesValue(option)) {
            shown += " <" + option->get_type_name() + ">";
        }
        longest = std::max(longest, shown.size());
        names.push_back(shown);
    }
    for (const ArgumentHelp& argument : arguments) {
        longest = std::max(longest, argument.name.size());  // one width for both lists
    }
    const std::size_t width = std::min<std::size_t>(50, longest + 1);
    for (std::size_t i = 0; i < options.size(); ++i) {
        text += Columns(names[i], width, options[i]->get_description());
    }
    if (!arguments.empty()) {
        if (!options.empty()) {
            text += "\n";
        }
        text += "Arguments:\n";
        for (const ArgumentHelp& argument : arguments) {
            text += Columns(argument.name, width, argument.description);
        }
    }
    return text;
}

bool ReadInt(const std::string& text, int& value) {
    return ReadWhole(Trimmed(text), value, 10);
}

bool ReadLongLong(const std::string& text, long long& value) {
    return ReadWhole(Trimmed(text), value, 10);
}

bool ReadHex32(const std::string& text, std::uint32_t& value) {
    std::string digits = Trimmed(text);
    if (!digits.empty() && digits[0] == '+') {
        digits.erase(0, 1);
    }
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.erase(0, 2);
    }
    if (digits.empty() || digits[0] == '-' || digits[0] == '+') {
        return false;
    }
    return ReadWhole(digits, value, 16);
}

bool ReadDouble(const std::string& text, double& value) {
    std::string number = Trimmed(text);
    std::size_t at = 0;
    if (at < number.size() && (number[at] == '+' || number[at] == '-')) {
        ++at;
    }
    std::string word = number.substr(at);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (word == "nan" && at > 0) {
        return false;  // a NaN has no sign
    }
    if (word != "inf" && word != "nan") {
        // Digits, at most one point, at least one digit, then an optional exponent.
        std::size_t digits = 0;
        std::size_t i = at;
        while (i < number.size() && std::isdigit(static_cast<unsigned char>(number[i]))) {
            ++i;
            ++digits;
        }
        if (i < number.size() && number[i] == '.') {
            ++i;
            while (i < number.size() && std::isdigit(static_cast<unsigned char>(number[i]))) {
                ++i;
                ++digits;
            }
        }
        if (digits == 0) {
            return false;
        }
        if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
            ++i;
            if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
                ++i;
            }
            const std::size_t exponentStart = i;
            while (i < number.size() && std::isdigit(static_cast<unsigned char>(number[i]))) {
                ++i;
            }
            if (i == exponentStart) {
                return false;
            }
        }
        if (i != number.size()) {
            return false;
        }
    }
    if (!number.empty() && number[0] == '+') {
        number.erase(0, 1);
    }
    double v = 0;
    const char* end = number.data() + number.size();
    const auto [ptr, ec] = std::from_chars(number.data(), end, v);
    if (ec != std::errc() || ptr != end) {
        return false;
    }
    value = v;
    return true;
}
