#pragma once
// A settings file in the INI notation of QSettings (the notation the store's files have been
// written in from the start), kept line by line: a change rewrites or adds one line and leaves
// every other byte of the file as it was, comments and lines that make no sense included.
//
//   [Software]                         section: the first part of the keys below it
//   Fernwell\%40key=                   key "Software/Fernwell/@key", empty value
//   Fernwell\CommPort="hex:03,00,00,00"
//   ; a comment
//
// Keys are '/'-separated paths ("Software/Fernwell/CommPort"), in UTF-8, compared exactly.
// In the file a '\' in a key stands for '/', and any character other than a letter, a digit,
// '_', '-' or '.' is written %XX (up to U+00FF) or %UXXXX (a UTF-16 unit). Section "[General]"
// (any case) holds the keys without a '/', as do the lines before the first section; a section
// really named "General" is written "[%General]".
//
// Values: leading blanks are dropped, and trailing ones unless quoted; "..." quotes (needed
// around ',', ';' and '='); C escapes (\n, \x1b, \033, \\, \"); an unquoted ',' splits the value
// into a list, which Value() joins again with ','; ';' outside quotes starts a comment.
// "@ByteArray(...)" stands for its contents.
//
// Every line stands alone. A line that is not blank, not a comment, not a section and has no
// '=' outside quotes, or whose quote is not closed before the line ends, or which ends in a
// single '\' (a continuation), is not parsed: it is kept verbatim, adds no key, and the lines
// after it read as if it were not there. A section line without its ']' still opens the
// section named by the rest of the line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(const std::string& text);

    // The file's text: the lines as read, with the changes made since.
    std::string Text() const;

    // The names of the subgroups and of the keys directly below `group` ("" is the top),
    // each once, sorted.
    std::vector<std::string> ChildGroups(const std::string& group) const;
    std::vector<std::string> ChildKeys(const std::string& group) const;

    // The value of `key`. Of two lines with the key the later counts, or, in different sections,
    // the one in the section whose name sorts last.
    std::optional<std::string> Value(const std::string& key) const;

    // Gives `key` the text `value`: the line that holds it now is rewritten, keeping the key as
    // spelt there; a new key goes after the last key of the section that holds its group, or
    // into a new section at the end.
    void SetValue(const std::string& key, const std::string& value);

private:
    struct Line {
        std::string text;  // as in the file, line end included
        enum class Kind { kOther, kSection, kEntry } kind = Kind::kOther;
        std::string section;     // kSection: its name ("" for General); kEntry: the one it is in
        std::string key;         // kEntry: the full key
        std::string value;       // kEntry
        std::size_t keyEnd = 0;  // kEntry: where the key ends in `text` (kept by a rewrite)
    };

    static Line ParseLine(std::string text, const std::string& section, bool first);
    std::optional<std::size_t> Find(const std::string& key) const;
    std::string LineEnd() const;

    std::vector<Line> lines_;
};

// `text` without the blanks and the control characters tab to CR at either end (ASCII only:
// the notations in the file are ASCII).
std::string_view TrimmedAscii(std::string_view text);
