// Entry point of the photogeo command-line tool: finds the subcommand named by the first
// argument, answers --help and --version, and turns the subcommand's outcome into the exit
// status (0 success, 1 some file failed, 2 wrong usage).
#include <photogeo/Version.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"

namespace {

const cli::Command* const kCommands[] = {
    &cli::kInfoCommand,   &cli::kGeotagCommand, &cli::kBearingCommand, &cli::kHtmlCommand,
    &cli::kDecodeCommand, &cli::kKanjiCommand,  &cli::kMagvarCommand,  &cli::kNoiseCommand,
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
                 "processed); 2 wrong usage.\n");
}

const cli::Command* FindCommand(const std::string& name) {
    for (const cli::Command* command : kCommands) {
        if (name == command->name) return command;
    }
    return nullptr;
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
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
    if (first == "help") {
        const cli::Command* command = args.empty() ? nullptr : FindCommand(args[0]);
        if (!command) {
            PrintProgramHelp(args.empty() ? stdout : stderr);
            return args.empty() ? cli::kExitOk : cli::kExitUsage;
        }
        std::fputs(command->help, stdout);
        return cli::kExitOk;
    }
    const cli::Command* command = FindCommand(first);
    if (!command) {
        cli::ReportError("unknown command '" + first + "' (see 'photogeo --help')");
        return cli::kExitUsage;
    }
    if (AsksForHelp(args)) {
        std::fputs(command->help, stdout);
        return cli::kExitOk;
    }
    try {
        return command->run(args);
    } catch (const cli::UsageError& e) {
        cli::ReportError(std::string(command->name) + ": " + e.what() + " (see 'photogeo " +
                         command->name + " --help')");
        return cli::kExitUsage;
    } catch (const std::bad_alloc&) {
        cli::ReportError(std::string(command->name) + ": out of memory");
        return cli::kExitFileFailed;
    } catch (const std::exception& e) {
        cli::ReportError(std::string(command->name) + ": " + e.what());
        return cli::kExitFileFailed;
    }
}
