// The subcommands of the photogeo tool, one per cmd_*.cpp file, as main.cpp dispatches them.
#ifndef PHOTOGEO_TOOLS_COMMANDS_H
#define PHOTOGEO_TOOLS_COMMANDS_H

#include "cli.h"

namespace cli {

extern const Command kBearingCommand;
extern const Command kDecodeCommand;
extern const Command kGeotagCommand;
extern const Command kHtmlCommand;
extern const Command kInfoCommand;
extern const Command kKanjiCommand;
extern const Command kMagvarCommand;
extern const Command kMapCommand;
extern const Command kNoiseCommand;
extern const Command kTrackCommand;

}  // namespace cli

#endif
