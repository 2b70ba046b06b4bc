// Shared pieces of the photogeo command-line tool: the subcommand record that main() dispatches
// on, the --help layout and number checks every subcommand's CLI11 parser uses, the error and
// progress reporting on stderr, and the text helpers (Shift-JIS <-> UTF-8 through iconv,
// terminal widths).
//
// Each subcommand lives in a cmd_*.cpp file of its own and exposes one Command object; main.cpp
// lists them and parses the command line with CLI11. A subcommand throws UsageError (or a CLI11
// error) for a wrong command line (exit status 2) and reports a failing file with
// ReportFileError, going on with the next file (exit status 1 at the end).
#ifndef PHOTOGEO_TOOLS_CLI_H
#define PHOTOGEO_TOOLS_CLI_H

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <photogeo/SafeFile.h>

#include <cstddef>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

enum ExitStatus { kExitOk = 0, kExitFileFailed = 1, kExitUsage = 2, kExitNothingDone = 3 };

// A wrong command line: the text says what is wrong, main() adds a pointer to --help.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& what) : std::runtime_error(what) {}
};

// One subcommand. setup declares the command's options and arguments on its CLI11 app (with
// SetHelp for the texts of --help) and returns what runs once the command line has been parsed
// into the variables it bound; that returns the exit status.
struct Command {
    const char* name;
    const char* summary;  // one line for the program's --help
    std::function<int()> (*setup)(CLI::App& app);
};

// The command's parser: its own options and arguments (setup is called and what it returns is
// stored in run), -h/--help, and, for every command alike, options anywhere among the arguments,
// "--" before arguments that start with '-', "-" and negative numbers as arguments, and the last
// value winning when an option is repeated. The app must outlive run.
std::unique_ptr<CLI::App> MakeParser(const Command& command, std::function<int()>& run);

// The --help texts of a command: usage is the "Usage: ..." lines, intro the paragraph under
// them; CLI11 lists the arguments and options after that, and footer (notes, exit status,
// example) comes last.
void SetHelp(CLI::App& app, const std::string& usage, const std::string& intro,
             const std::string& footer);

// A check for numeric options and arguments: a finite number in lo..hi (a message that names
// the range otherwise). Range() alone only refuses what is not a finite number.
CLI::Validator Range(double lo = -std::numeric_limits<double>::max(),
                     double hi = std::numeric_limits<double>::max());

// The machine-readable output: objects keep their keys in the order they were set.
using Json = nlohmann::ordered_json;
// One JSON value on a line of standard output; bytes that are not UTF-8 (a file name, say)
// become U+FFFD.
void PrintJsonLine(const Json& value);

// Strict whole-number parsing for parts of option values; what names the value in the message.
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

// A piece of an output file.
struct Bytes {
    const void* data;
    std::size_t size;
};

// Writes the pieces one after the other to path, all or nothing through photogeo/SafeFile.h: a
// target that exists and is not a regular file (a directory, FIFO or device node) is refused
// and left as it is, and a failure leaves no partial output or temporary file. "-" is standard
// output. options.timesFrom gives the output another file's times. The error names the
// operation, the file and the system's reason.
photogeo::Result<void> WriteOutput(const std::string& path, std::initializer_list<Bytes> pieces,
                                   const photogeo::WriteOptions& options = {});
// The exit status of a command whose last step was a write: kExitOk, or kExitFileFailed after
// reporting the write's error.
int WriteStatus(const photogeo::Result<void>& written);

// The photo arguments every command that takes photos declares alike: the files (or folders,
// with -r) as the positional NAME, required, and the -r/--recursive flag (see photo_walk.h).
void AddPhotoArguments(CLI::App& app, const std::string& name, std::vector<std::string>& files,
                       bool& recursive);

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

}  // namespace cli

#endif
