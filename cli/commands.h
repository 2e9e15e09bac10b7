// The commands of the kebu tool, one definition each (see main.cpp for the
// list).
#pragma once

#include "cli/cli.h"

namespace kebu::cli {

extern const Command kHeaderCommand;
extern const Command kLookupCommand;
extern const Command kSearchCommand;
extern const Command kDumpCommand;
extern const Command kExportCommand;
extern const Command kConvertCommand;
extern const Command kMakeCommand;

}  // namespace kebu::cli
