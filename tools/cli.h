// Shared pieces of the photogeo command-line tool: the subcommand record that main() dispatches
// on, the option parser every subcommand uses, the error and progress reporting on stderr, and
// the text helpers (Shift-JIS <-> UTF-8 through iconv, terminal widths, JSON strings).
//
// Each subcommand lives in a cmd_*.cpp file of its own and exposes one Command object; main.cpp
// lists them. A subcommand throws UsageError for a wrong command line (exit status 2) and reports
// a failing file with ReportFileError, going on with the next file (exit status 1 at the end).
#ifndef PHOTOGEO_TOOLS_CLI_H
#define PHOTOGEO_TOOLS_CLI_H

#include <cstddef>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

enum ExitStatus { kExitOk = 0, kExitFileFailed = 1, kExitUsage = 2 };

// A wrong command line: the text says what is wrong, main() adds a pointer to --help.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& what) : std::runtime_error(what) {}
};

struct Command {
    const char* name;
    const char* summary;  // one line for the program's --help
    const char* help;     // the whole --help text of the subcommand
    int (*run)(const std::vector<std::string>& args);
};

// One option a subcommand accepts: "--name" (and "-c" when shortName is not 0), followed by a
// value when takesValue is set ("--name VALUE" or "--name=VALUE").
struct OptionDef {
    const char* name;
    char shortName;
    bool takesValue;
};

class ParsedArgs {
public:
    bool Has(const std::string& name) const { return m_values.count(name) != 0; }
    // The last value given for the option, or fallback when it was not given.
    std::string Get(const std::string& name, const std::string& fallback = "") const;
    std::vector<std::string> positional;

private:
    friend ParsedArgs ParseArgs(const std::vector<std::string>&, const std::vector<OptionDef>&);
    std::map<std::string, std::vector<std::string>> m_values;
};

// Splits args into options and positional arguments. Options may stand anywhere; "--" ends them.
// An argument that starts with '-' and then a digit or '.' is a (negative) number, not an option.
// Throws UsageError for an unknown option or a missing value.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& defs);

// Strict number parsing for option values and arguments; what names the value in the message.
double ParseDouble(const std::string& text, const std::string& what);
long ParseLong(const std::string& text, const std::string& what);

// "photogeo: FILE: CAUSE" on stderr.
void ReportFileError(const std::string& file, const std::string& cause);
// "photogeo: MESSAGE" on stderr.
void ReportError(const std::string& message);
// The C library's text for errno value err, for causes of failed system calls.
std::string ErrnoText(int err);

// A per-file progress line on stderr for long batches, shown only when stderr is a terminal and
// there are more than a few dozen files. The line is rewritten in place and cleared at the end.
class Progress {
public:
    explicit Progress(std::size_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Step(const std::string& file);
    // Clears the line before other output goes to stderr.
    void Clear();

private:
    std::size_t m_total;
    std::size_t m_done = 0;
    bool m_enabled;
    bool m_shown = false;
};

// Whole-file reading; false with errno set on failure.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& data);

// Checks that path opens for reading and starts with a JPEG start-of-image marker. On failure
// gives the cause in plain words ("cannot open: No such file or directory", "not a JPEG file").
bool CheckJpegFile(const std::string& path, std::string& cause);

// Text conversion between the library's Shift-JIS (CP932) and the terminal's UTF-8. Bytes that
// do not convert are replaced by U+FFFD (to UTF-8) or '?' (to Shift-JIS) so that no text is lost
// silently in a way that would shift the rest.
std::string SjisToUtf8(const std::string& sjis);
// Throws UsageError naming what when text is not valid UTF-8 or has no Shift-JIS form.
std::string Utf8ToSjis(const std::string& utf8, const std::string& what);
// Columns that a UTF-8 text takes on a terminal: East Asian wide characters count 2.
std::size_t DisplayWidthUtf8(const std::string& utf8);
// Columns of a Shift-JIS text: a two-byte character takes 2, a single byte (half-width kana
// included) 1.
std::size_t DisplayWidthSjis(const std::string& sjis);
// A JSON string literal, quotes included, of a UTF-8 text.
std::string JsonString(const std::string& utf8);

}  // namespace cli

#endif
