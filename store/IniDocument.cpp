#include "store/IniDocument.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <string_view>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// UTF-8 to code points; a byte that starts no valid sequence becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80                   ? 1
                     : lead >= 0xC2 && lead < 0xE0 ? 2
                     : lead >= 0xE0 && lead < 0xF0 ? 3
                     : lead >= 0xF0 && lead < 0xF5 ? 4
                                                   : 0;
        char32_t cp = length == 1   ? lead
                      : length == 2 ? lead & 0x1F
                      : length == 3 ? lead & 0x0F
                                    : lead & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = cp << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (valid &&
            ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
             (cp >= 0xD800 && cp <= 0xDFFF))) {
            valid = false;
        }
        out += valid ? cp : kReplacement;
        i += valid ? length : 1;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The file's escapes name UTF-16 units; a pair of surrogates is one character, a lone one
// none (U+FFFD).
std::string Utf16ToUtf8(const std::u16string& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

void AppendUtf16(std::u16string& out, std::string_view utf8) {
    for (char32_t cp : DecodeUtf8(utf8)) {
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

const char kHexUpper[] = "0123456789ABCDEF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// A key as the file spells it: '\' for '/', %XX and %UXXXX for single UTF-16 units; a '%'
// not followed by enough hex digits is itself.
std::string UnescapeKey(std::string_view text) {
    std::u16string units;
    AppendUtf16(units, text);
    std::u16string out;
    for (std::size_t i = 0; i < units.size();) {
        const char16_t c = units[i];
        if (c == u'\\') {
            out += u'/';
            ++i;
            continue;
        }
        if (c != u'%' || i + 1 == units.size()) {
            out += c;
            ++i;
            continue;
        }
        const std::size_t first = units[i + 1] == u'U' ? i + 2 : i + 1;
        const std::size_t digits = units[i + 1] == u'U' ? 4 : 2;
        std::uint32_t value = 0;
        bool ok = first + digits <= units.size();
        for (std::size_t k = 0; ok && k < digits; ++k) {
            const char16_t d = units[first + k];
            const int v = d < 0x80 ? HexValue(static_cast<char>(d)) : -1;
            ok = v >= 0;
            value = value << 4 | static_cast<std::uint32_t>(v);
        }
        if (!ok) {
            out += u'%';
            ++i;
            continue;
        }
        out += static_cast<char16_t>(value);
        i = first + digits;
    }
    return Utf16ToUtf8(out);
}

std::string EscapeKey(std::string_view key) {
    std::u16string units;
    AppendUtf16(units, key);
    std::string out;
    for (char16_t c : units) {
        if (c == u'/') {
            out += '\\';
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                   (c >= u'0' && c <= u'9') || c == u'_' || c == u'-' || c == u'.') {
            out += static_cast<char>(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += kHexUpper[c >> 4];
            out += kHexUpper[c & 0xF];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHexUpper[c >> shift & 0xF];
            }
        }
    }
    return out;
}

void ChopBlanks(std::u16string& text, std::size_t limit) {
    while (text.size() > limit && (text.back() == u' ' || text.back() == u'\t')) {
        text.pop_back();
    }
}

// The value part of a line (after '=', up to the end or the comment).
std::string UnescapeValue(std::string_view text) {
    std::u16string current;
    std::vector<std::u16string> list;
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;  // the current list item had quotes: its trailing blanks stay
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && IsBlank(text[i])) {
            ++i;
        }
    };
    skipBlanks();
    std::size_t chopLimit = 0;  // blanks before this came from escapes or quotes
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\') {
            ++i;
            if (i == text.size()) {
                break;
            }
            const char e = text[i++];
            static constexpr std::string_view kFrom = "abfnrtv\"?'\\";
            static constexpr std::string_view kTo = "\a\b\f\n\r\t\v\"?'\\";
            if (const std::size_t k = kFrom.find(e); k != std::string_view::npos) {
                current += static_cast<char16_t>(kTo[k]);
            } else if (e == 'x' || (e >= '0' && e <= '7')) {
                // \x takes every hex digit that follows, \0 every octal one; a \x with none
                // stands for nothing.
                const int base = e == 'x' ? 16 : 8;
                std::uint32_t value = e == 'x' ? 0 : static_cast<std::uint32_t>(e - '0');
                bool any = e != 'x';
                for (int d; i < text.size() && (d = HexValue(text[i])) >= 0 && d < base; ++i) {
                    value = value * base + static_cast<std::uint32_t>(d);
                    any = true;
                }
                if (any) {
                    current += static_cast<char16_t>(value & 0xFFFF);
                }
            }  // any other escaped character is dropped
            chopLimit = current.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                chopLimit = current.size();
            }
        } else if (c == ',' && !inQuotes) {
            if (!quoted) {
                ChopBlanks(current, chopLimit);
            }
            isList = true;
            list.push_back(std::move(current));
            current.clear();
            quoted = false;
            ++i;
            skipBlanks();
            chopLimit = 0;
        } else {
            std::size_t j = i + 1;
            while (j < text.size() && text[j] != '\\' && text[j] != '"' && text[j] != ',') {
                ++j;
            }
            AppendUtf16(current, text.substr(i, j - i));
            i = j;
        }
    }
    if (!quoted) {
        ChopBlanks(current, chopLimit);
    }
    if (isList) {
        std::u16string joined;
        for (const std::u16string& item : list) {
            joined += item;
            joined += u',';
        }
        return Utf16ToUtf8(joined + current);
    }
    std::string value = Utf16ToUtf8(current);
    if (value.size() >= 12 && value.compare(0, 11, "@ByteArray(") == 0 && value.back() == ')') {
        return value.substr(11, value.size() - 12);
    }
    if (value.compare(0, 2, "@@") == 0) {
        value.erase(0, 1);
    }
    return value;
}

std::string HexLower(unsigned value) {
    std::string out;
    do {
        out.insert(out.begin(), "0123456789abcdef"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return out;
}

std::string EscapeValue(std::string_view value) {
    std::string out;
    bool needsQuotes = false;
    bool escapeNextIfHex = false;  // after a numeric escape a hex digit must not run into it
    for (char c : value) {
        const auto u = static_cast<unsigned char>(c);
        needsQuotes = needsQuotes || c == ';' || c == ',' || c == '=';
        if (escapeNextIfHex && HexValue(c) >= 0) {
            out += "\\x" + HexLower(u);
            continue;
        }
        escapeNextIfHex = false;
        static constexpr std::string_view kFrom = "\a\b\f\n\r\t\v";
        static constexpr std::string_view kTo = "abfnrtv";
        if (c == '\0') {
            out += "\\0";
            escapeNextIfHex = true;
        } else if (const std::size_t k = kFrom.find(c); k != std::string_view::npos) {
            out += '\\';
            out += kTo[k];
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u <= 0x1F) {
            out += "\\x" + HexLower(u);
            escapeNextIfHex = true;
        } else {
            out += c;
        }
    }
    if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) {
        out = '"' + out + '"';
    }
    return out;
}

}  // namespace

std::string_view TrimmedAscii(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

IniDocument::IniDocument(const std::string& text) {
    std::string section;
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = begin;
        while (end < text.size() && !IsLineEnd(text[end])) {
            ++end;
        }
        if (end < text.size()) {
            end += text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
        }
        Line line = ParseLine(text.substr(begin, end - begin), section, begin == 0);
        if (line.kind == Line::Kind::kSection) {
            section = line.section;
        }
        lines_.push_back(std::move(line));
        begin = end;
    }
}

IniDocument::Line IniDocument::ParseLine(std::string text, const std::string& section, bool first) {
    Line line;
    line.text = std::move(text);
    std::string_view t(line.text);
    while (!t.empty() && IsLineEnd(t.back())) {
        t.remove_suffix(1);
    }
    std::size_t start = first && t.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;  // UTF-8 mark
    while (start < t.size() && IsBlank(t[start])) {
        ++start;
    }
    if (start == t.size() || t[start] == ';') {
        return line;  // blank or comment
    }
    // Where the line's content ends (a ';' outside quotes starts a comment) and where its first
    // '=' outside quotes is. A quote still open at the end, or a last '\' escaping the line end,
    // would carry the line on into the next: such a line is not parsed.
    std::size_t end = t.size();
    std::size_t equals = std::string_view::npos;
    bool inQuotes = false;
    for (std::size_t i = start; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '\\') {
            if (++i == t.size()) {
                return line;
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == '=' && !inQuotes && equals == std::string_view::npos) {
            equals = i;
        } else if (c == ';' && !inQuotes) {
            end = i;
            break;
        }
    }
    if (inQuotes && end == t.size()) {
        return line;
    }
    if (t[start] == '[') {
        std::string_view name = t.substr(start + 1, end - start - 1);
        name = TrimmedAscii(name.substr(0, name.find(']')));
        line.kind = Line::Kind::kSection;
        if (EqualsNoCase(name, "general")) {
            line.section.clear();
        } else {
            line.section =
                EqualsNoCase(name, "%general") ? std::string(name.substr(1)) : UnescapeKey(name);
            line.section += '/';
        }
        return line;
    }
    if (equals == std::string_view::npos) {
        return line;  // no key: not parsed
    }
    std::size_t keyEnd = equals;
    while (keyEnd > start && IsBlank(t[keyEnd - 1])) {
        --keyEnd;
    }
    line.kind = Line::Kind::kEntry;
    line.section = section;
    line.key = section + UnescapeKey(t.substr(start, keyEnd - start));
    line.value = UnescapeValue(t.substr(equals + 1, end - equals - 1));
    line.keyEnd = keyEnd;
    return line;
}

std::string IniDocument::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
    }
    return text;
}

namespace {

std::vector<std::string> Children(const std::vector<std::string>& keys, const std::string& group,
                                  bool groups) {
    const std::string prefix = group.empty() ? group : group + '/';
    std::set<std::string> names;
    for (const std::string& key : keys) {
        if (key.size() < prefix.size() || key.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string rest = key.substr(prefix.size());
        const std::size_t slash = rest.find('/');
        if ((slash != std::string::npos) == groups) {
            names.insert(rest.substr(0, slash));
        }
    }
    return {names.begin(), names.end()};
}

}  // namespace

std::vector<std::string> IniDocument::ChildGroups(const std::string& group) const {
    std::vector<std::string> keys;
    for (const Line& line : lines_) {
        if (line.kind == Line::Kind::kEntry) {
            keys.push_back(line.key);
        }
    }
    return Children(keys, group, true);
}

std::vector<std::string> IniDocument::ChildKeys(const std::string& group) const {
    std::vector<std::string> keys;
    for (const Line& line : lines_) {
        if (line.kind == Line::Kind::kEntry) {
            keys.push_back(line.key);
        }
    }
    return Children(keys, group, false);
}

// The line that holds `key`. Of two in one section the later counts, of two in different
// sections the one in the section whose name sorts last (as QSettings has always read them:
// section by section in the order of their names). A file written by QSettings has each key once.
std::optional<std::size_t> IniDocument::Find(const std::string& key) const {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Kind::kEntry && line.key == key &&
            (!found || line.section >= lines_[*found].section)) {
            found = i;
        }
    }
    return found;
}

std::optional<std::string> IniDocument::Value(const std::string& key) const {
    const std::optional<std::size_t> at = Find(key);
    return at ? std::optional(lines_[*at].value) : std::nullopt;
}

std::string IniDocument::LineEnd() const {
    for (const Line& line : lines_) {
        if (!line.text.empty() && IsLineEnd(line.text.back())) {
            return line.text.size() >= 2 && line.text.compare(line.text.size() - 2, 2, "\r\n") == 0
                       ? "\r\n"
                       : "\n";
        }
    }
    return "\n";
}

void IniDocument::SetValue(const std::string& key, const std::string& value) {
    const std::string eol = LineEnd();
    const auto ended = [](const std::string& text) {
        return !text.empty() && IsLineEnd(text.back());
    };

    // A key already there: its line gets the new value, the key as spelt in the file.
    if (const std::optional<std::size_t> at = Find(key)) {
        Line& line = lines_[*at];
        std::string end;
        for (std::size_t n = line.text.size(); n > 0 && IsLineEnd(line.text[n - 1]); --n) {
            end.insert(end.begin(), line.text[n - 1]);
        }
        line.text = line.text.substr(0, line.keyEnd) + '=' + EscapeValue(value) + end;
        line.value = value;
        return;
    }

    // The section to add it to: the one whose name is the longest leading part of the key's
    // group (the last of equals); "[General]" or the lines before the first section for a key
    // without a group.
    const bool topLevel = key.find('/') == std::string::npos;
    std::optional<std::size_t> header;  // lines_.size() stands for the lines before any section
    for (std::size_t h = 0; h < lines_.size(); ++h) {
        const Line& line = lines_[h];
        if (line.kind != Line::Kind::kSection) {
            continue;
        }
        const bool fits = line.section.empty()
                              ? topLevel
                              : key.size() > line.section.size() &&
                                    key.compare(0, line.section.size(), line.section) == 0;
        if (fits && (!header || line.section.size() >= lines_[*header].section.size())) {
            header = h;
        }
    }
    if (!header && topLevel) {
        for (const Line& line : lines_) {
            if (line.kind == Line::Kind::kSection) {
                break;
            }
            if (line.kind == Line::Kind::kEntry) {
                header = lines_.size();
                break;
            }
        }
    }

    Line entry;
    entry.kind = Line::Kind::kEntry;
    entry.key = key;
    entry.value = value;
    if (header) {
        const bool top = *header == lines_.size();
        const std::size_t first = top ? 0 : *header + 1;
        entry.section = top ? std::string() : lines_[*header].section;
        std::size_t at = first;
        for (std::size_t i = first; i < lines_.size() && lines_[i].kind != Line::Kind::kSection;
             ++i) {
            if (lines_[i].kind == Line::Kind::kEntry) {
                at = i + 1;
            }
        }
        if (at > 0 && !ended(lines_[at - 1].text)) {
            lines_[at - 1].text += eol;
        }
        const std::string name = EscapeKey(key.substr(entry.section.size()));
        entry.keyEnd = name.size();
        entry.text = name + '=' + EscapeValue(value) + eol;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
        return;
    }

    // A new section at the end, after a blank line.
    const std::size_t slash = key.find('/');
    Line section;
    section.kind = Line::Kind::kSection;
    if (topLevel) {
        section.text = "[General]" + eol;
    } else {
        section.section = key.substr(0, slash + 1);
        const std::string name = EscapeKey(key.substr(0, slash));
        section.text = (EqualsNoCase(name, "general") ? "[%" + name + "]" : "[" + name + "]") + eol;
    }
    if (!lines_.empty()) {
        if (!ended(lines_.back().text)) {
            lines_.back().text += eol;
        }
        Line blank;
        blank.text = eol;
        lines_.push_back(std::move(blank));
    }
    entry.section = section.section;
    const std::string name = EscapeKey(key.substr(entry.section.size()));
    entry.keyEnd = name.size();
    entry.text = name + '=' + EscapeValue(value) + eol;
    lines_.push_back(std::move(section));
    lines_.push_back(std::move(entry));
}
