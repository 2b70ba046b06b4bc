// "photogeo kanji": standard input to standard output through the library's nkf converter
// (JIS, Shift-JIS and EUC-JP in, one of them out).
#include <photogeo/Nkf.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli.h"
#include "commands.h"

namespace cli {

namespace {

const char kUsage[] = "Usage: photogeo kanji [--to sjis|euc|jis] [--options NKF-OPTIONS] < IN > OUT\n";
const char kIntro[] =
    "Converts Japanese text from standard input to standard output. The input encoding (JIS\n"
    "with escape sequences, Shift-JIS or EUC-JP) is detected; half-width katakana are widened.\n";
const char kFooter[] =
    "Converter options, for example:\n"
    "  S, E, J  take the input as Shift-JIS, EUC-JP or JIS\n"
    "  x        keep half-width katakana\n"
    "  Z1       full-width ASCII and space to ASCII\n"
    "  f60      fold lines at 60 columns\n"
    "  c, d     add CR before LF / drop CR\n"
    "\n"
    "The text may not contain NUL bytes.\n"
    "Example: photogeo kanji --to sjis < memo-euc.txt > memo-sjis.txt\n";

// Every output byte comes from at most one input byte plus shift sequences and folding: eight
// bytes a byte is ample, and the conversion is simply repeated with more room when it is not.
const std::size_t kInitialGrowth = 8;
const std::size_t kMaxInput = 64u << 20;

struct Options {
    std::string to = "jis";
    std::string options;
};

int Run(const Options& o) {
    const std::string& to = o.to;
    std::string options;
    if (to == "sjis") {
        options = "s";
    } else if (to == "euc") {
        options = "e";
    } else if (to == "jis") {
        options = "j";
    } else {
        throw UsageError("--to must be sjis, euc or jis");
    }
    // The output letter goes last so that it wins over one in the user's options.
    options = o.options + options;

    std::vector<unsigned char> input;
    unsigned char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        input.insert(input.end(), chunk, chunk + n);
        if (input.size() > kMaxInput) {
            ReportFileError("(standard input)", "too large (more than 64 MiB)");
            return kExitFileFailed;
        }
    }
    if (!input.empty() && std::memchr(input.data(), 0, input.size()) != nullptr) {
        ReportFileError("(standard input)",
                        "contains a NUL byte, which the converter cannot carry");
        return kExitFileFailed;
    }
    input.push_back(0);

    std::size_t capacity = input.size() * kInitialGrowth + 64;
    std::vector<char> output;
    for (;;) {
        output.assign(capacity, 0);
        int rc = nkf(input.data(), output.data(), static_cast<int>(capacity), options.c_str());
        if (rc != 0) {
            throw UsageError("the options '" + o.options +
                             "' cannot be combined with that output (Latin-1 input needs JIS "
                             "output and no x)");
        }
        std::size_t length = std::strlen(output.data());
        if (length + 1 < capacity) {
            std::fwrite(output.data(), 1, length, stdout);
            break;
        }
        if (capacity > INT_MAX / 2) {
            ReportFileError("(standard input)", "output too large to convert in one piece");
            return kExitFileFailed;
        }
        capacity *= 2;
    }
    if (std::fflush(stdout) != 0) {
        ReportFileError("(standard output)", "cannot write");
        return kExitFileFailed;
    }
    return kExitOk;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("--to", o->to, "output encoding: sjis, euc or jis (default jis)")
        ->option_text("ENC");
    app.add_option("--options", o->options, "further converter options (see below)")
        ->option_text("OPTS");
    return [o] { return Run(*o); };
}

}  // namespace

const Command kKanjiCommand = {"kanji", "convert Japanese text between JIS, Shift-JIS and EUC-JP",
                               Setup};

}  // namespace cli
