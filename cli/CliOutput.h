#pragma once
// fernwell-cli's output: results on standard output (text or one JSON document), errors one
// line each on standard error, and what a command's exit status needs to know of both.

#include <cstdio>
#include <string>

#include "cli/CliOptions.h"
#include "records/RecordFields.h"

struct Streams {
    std::FILE* out;
    std::FILE* err;
    bool json;
    // The first failed write to standard output (errno), 0 while every write went through.
    // A full disk or a closed pipe must not pass for a result: RunCommand then exits 3.
    mutable int outError = 0;
    // Whether standard output got anything (with --json: a document), and the last error
    // line: a command that fails with --json and has printed no document prints one with
    // an "error" key, so a script always gets one JSON document.
    mutable bool printed = false;
    mutable std::string lastError;
};

// Message-box texts and system error texts as one line: line breaks become spaces, a CR
// (Windows error texts end in CR LF) and trailing blanks go.
std::string OneLine(std::string text);
// An error line on standard error; remembered for a JSON document that has none yet.
void PrintError(const Streams& io, const std::string& message);
// Reports `failure` and gives its exit status.
int Fail(const Streams& io, const CliFailure& failure);
// Writes and flushes `text`; the errno of a failure, else 0.
int Write(std::FILE* file, const std::string& text);
void Print(const Streams& io, const std::string& text);
void PrintJson(const Streams& io, const Json& value, bool compact = false);
