// The command line of mavris-modem-sim: where it serves the modem, what it logs, and the
// modem's profile (from a file and from --KEY VALUE settings on top).
#pragma once

#include <string>

#include "modem-sim/modem_profile.h"

struct Options {
    ModemProfile profile;
    std::string strDevice;
    std::string strLink;
    std::string strLog;
    bool bLogTermios = false;
    unsigned nIdleExitSeconds = 600;
    bool bVerbose = false;
};

// Returns 0 to go on, 1 for a usage error (told on stderr), 2 after --help (usage on stdout).
int ParseOptions(int argc, char** argv, Options* options);
