// Entry point of the photogeo command-line tool: finds the subcommand named by the first
// argument, answers --help and --version, and turns the subcommand's outcome into the exit
// status (0 success, 1 some file failed, 2 wrong usage).
#include <photogeo/Version.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"

namespace {

const cli::Command* const kCommands[] = {
    &cli::kInfoCommand,   &cli::kGeotagCommand, &cli::kBearingCommand, &cli::kHtmlCommand,
    &cli::kDecodeCommand, &cli::kKanjiCommand,  &cli::kMagvarCommand,  &cli::kNoiseCommand,
    &cli::kTrackCommand, &cli::kMapCommand,
};

void PrintProgramHelp(std::FILE* out) {
    std::fprintf(
        out,
        "Usage: photogeo COMMAND [OPTIONS] [ARGUMENTS]\n"
        "       photogeo --help | --version\n"
        "\n"
        "Reads and writes the geographic metadata of JPEG photos and offers the library's\n"
        "companion services from the shell.\n"
        "\n"
        "Commands:\n");
    for (const cli::Command* command : kCommands) {
        std::fprintf(out, "  %-9s %s\n", command->name, command->summary);
    }
    std::fprintf(out,
                 "\n"
                 "Run 'photogeo COMMAND --help' for the options of a command.\n"
                 "Exit status: 0 success; 1 a file failed (the other files were still\n"
                 "processed); 2 wrong usage; 3 nothing done (every photo skipped).\n");
}

const cli::Command* FindCommand(const std::string& name) {
    for (const cli::Command* command : kCommands) {
        if (name == command->name) return command;
    }
    return nullptr;
}

// The data a command writes to standard output must arrive: a failed write (a full disk, a
// closed descriptor) fails the run, except a reader that went away (EPIPE), which is the
// reader's choice.
int FinishStandardOutput(int status) {
    errno = 0;
    bool failed = std::fflush(stdout) != 0;
    int err = errno;
    if ((!failed && !std::ferror(stdout)) || err == EPIPE) return status;
    cli::ReportFileError("(standard output)",
                         "cannot write" + (err != 0 ? ": " + cli::ErrnoText(err) : std::string()));
    return status == cli::kExitUsage ? status : cli::kExitFileFailed;
}

int Main(int argc, char** argv) {
    if (argc < 2) {
        PrintProgramHelp(stderr);
        return cli::kExitUsage;
    }
    std::string first = argv[1];
    if (first == "--help" || first == "-h") {
        PrintProgramHelp(stdout);
        return cli::kExitOk;
    }
    if (first == "--version") {
        std::printf("photogeo %s\n", PhotogeoVersion());
        return cli::kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    std::function<int()> run;
    if (first == "help") {
        const cli::Command* command = args.empty() ? nullptr : FindCommand(args[0]);
        if (!command) {
            PrintProgramHelp(args.empty() ? stdout : stderr);
            return args.empty() ? cli::kExitOk : cli::kExitUsage;
        }
        std::fputs(cli::MakeParser(*command, run)->help().c_str(), stdout);
        return cli::kExitOk;
    }
    const cli::Command* command = FindCommand(first);
    if (!command) {
        cli::ReportError("unknown command '" + first + "' (see 'photogeo --help')");
        return cli::kExitUsage;
    }
    auto usage = [command](const std::string& what) {
        cli::ReportError(std::string(command->name) + ": " + what + " (see 'photogeo " +
                         command->name + " --help')");
        return cli::kExitUsage;
    };
    try {
        std::unique_ptr<CLI::App> app = cli::MakeParser(*command, run);
        try {
            // argv[1], the command's name, stands for the program's name here.
            app->parse(argc - 1, argv + 1);
        } catch (const CLI::CallForHelp&) {
            std::fputs(app->help().c_str(), stdout);
            return cli::kExitOk;
        } catch (const CLI::ParseError& e) {
            return usage(e.what());
        }
        return run();
    } catch (const cli::UsageError& e) {
        return usage(e.what());
    } catch (const std::bad_alloc&) {
        cli::ReportError(std::string(command->name) + ": out of memory");
        return cli::kExitFileFailed;
    } catch (const std::exception& e) {
        cli::ReportError(std::string(command->name) + ": " + e.what());
        return cli::kExitFileFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return FinishStandardOutput(Main(argc, argv));
}
