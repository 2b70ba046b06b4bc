// "photogeo kanji": a text file or standard input to standard output, between JIS, Shift-JIS,
// EUC-JP and UTF-8, through the conversion of kanji_convert.h.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "cli.h"
#include "commands.h"
#include "kanji_convert.h"

namespace cli {

namespace {

const char kUsage[] =
    "Usage: photogeo kanji [--from CODE] [--to CODE] [--options NKF-OPTIONS] [IN|-]\n";
const char kIntro[] =
    "Converts Japanese text from IN (standard input when it is missing or -) to standard\n"
    "output, between JIS (ISO-2022-JP), Shift-JIS (CP932), EUC-JP and UTF-8. Half-width\n"
    "katakana are widened unless the converter option x is given.\n";
const char kFooter[] =
    "Converter options, for example:\n"
    "  x        keep half-width katakana\n"
    "  Z1       full-width ASCII and space to ASCII\n"
    "  f60      fold lines at 60 columns (1 to 511)\n"
    "  c, d     add CR before LF / drop CR\n"
    "A letter the converter does not know is refused.\n"
    "\n"
    "UTF-8 passes through CP932: a character without a CP932 form (most emoji, for\n"
    "example) or a user-defined one is an error. The text may not contain NUL bytes.\n"
    "Exit status: 0 converted; 1 the input cannot be read or converted, or the output\n"
    "cannot be written; 2 wrong usage.\n"
    "Example: photogeo kanji --from euc --to utf8 memo-euc.txt > memo.txt\n";

const std::size_t kMaxInput = 64u << 20;
const char kStdin[] = "-";

struct Options {
    std::string from = "auto";
    std::string to = "jis";
    std::string options;
    std::string in = kStdin;
};

// The whole input; false with the cause reported.
bool ReadInput(const std::string& name, const std::string& shown, std::string& text) {
    std::FILE* in = name == kStdin ? stdin : std::fopen(name.c_str(), "rb");
    if (in == nullptr) {
        ReportFileError(shown, "cannot open: " + ErrnoText(errno));
        return false;
    }
    char chunk[65536];
    std::size_t n;
    while (text.size() <= kMaxInput && (n = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        text.append(chunk, n);
    }
    int err = errno;
    bool failed = std::ferror(in) != 0;
    if (in != stdin) std::fclose(in);
    if (failed) {
        ReportFileError(shown, "cannot read: " + ErrnoText(err));
    } else if (text.size() > kMaxInput) {
        ReportFileError(shown, "too large (more than 64 MiB)");
    } else if (text.find('\0') != std::string::npos) {
        ReportFileError(shown, "contains a NUL byte, which the converter cannot carry");
    } else {
        return true;
    }
    return false;
}

int Run(const Options& o) {
    KanjiCode from = ParseKanjiCode(o.from, "--from", true);
    KanjiCode to = ParseKanjiCode(o.to, "--to", false);
    CheckNkfOptions(o.options);
    std::string shown = o.in == kStdin ? "(standard input)" : o.in;
    std::string input;
    if (!ReadInput(o.in, shown, input)) return kExitFileFailed;
    std::string output;
    try {
        output = ConvertKanji(input, from, to, o.options);
    } catch (const ConversionError& e) {
        ReportFileError(shown, e.what());
        return kExitFileFailed;
    }
    std::fwrite(output.data(), 1, output.size(), stdout);
    return kExitOk;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("IN", o->in, "the text to convert (default: standard input)");
    app.add_option("--from", o->from,
                   "input code: auto (default), jis, sjis, euc or utf8; auto takes valid UTF-8 "
                   "with non-ASCII bytes for UTF-8 and tells the others apart by their bytes")
        ->option_text("CODE");
    app.add_option("--to", o->to, "output code: jis (default), sjis, euc or utf8")
        ->option_text("CODE");
    app.add_option("--options", o->options, "further converter options (see below)")
        ->option_text("OPTS");
    return [o] { return Run(*o); };
}

}  // namespace

const Command kKanjiCommand = {"kanji",
                               "convert Japanese text between JIS, Shift-JIS, EUC-JP and UTF-8",
                               Setup};

}  // namespace cli
