#include "modem-sim/sim_options.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char kUsage[] =
    "usage: mavris-modem-sim [options] [--KEY VALUE | --KEY=VALUE ...]\n"
    "Plays an ORVA V.92 modem on a new pseudo-terminal. The first line on stdout is\n"
    "'pty /dev/pts/N' (or 'device PATH' with --device); open that path as the COM port.\n"
    "Options:\n"
    "  --device PATH      serve an existing terminal device instead of a new pty\n"
    "  --link PATH        also make PATH a symlink to the pty (removed at exit), e.g.\n"
    "                     $WINEPREFIX/dosdevices/com3\n"
    "  --profile FILE     read KEY=VALUE lines (# comments); later options override\n"
    "  --log FILE         write every received command line to FILE (truncated at start),\n"
    "                     one line each, bytes escaped: CR as \\r, LF as \\n, others \\xHH\n"
    "  --log-termios      after each command line also log the line settings in force:\n"
    "                     'termios baud=115200 csize=8 parity=none stop=1 crtscts=1 ixon=0\n"
    "                     ixoff=0'\n"
    "  --idle-exit SEC    exit after SEC seconds without a received byte; 0 never (600)\n"
    "  --verbose          trace commands and replies on stderr\n"
    "  --help             this text\n"
    "Exit status 0 after SIGTERM/SIGINT/SIGHUP, the idle time or a hang-up (which waits\n"
    "until the last answer was read, at most 5 s); 1 when the line fails; 2 on bad usage.\n"
    "Profile keys (as --KEY VALUE or in the profile file):\n";

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

}  // namespace

int ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(ProfileKeysHelp(), stdout);
            return 2;
        }
        if (arg.rfind("--", 0) != 0) {
            std::fprintf(stderr, "mavris-modem-sim: unexpected argument '%s'\n", arg.c_str());
            return 1;
        }
        arg.erase(0, 2);
        std::string value;
        bool bHasValue = false;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
            bHasValue = true;
        }
        if (arg == "log-termios" || arg == "verbose") {
            (arg == "verbose" ? options->bVerbose : options->bLogTermios) = true;
            continue;
        }
        if (!bHasValue) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "mavris-modem-sim: --%s needs a value\n", arg.c_str());
                return 1;
            }
            value = argv[++i];
        }
        std::string error;
        if (arg == "device") {
            options->strDevice = value;
        } else if (arg == "link") {
            options->strLink = value;
        } else if (arg == "log") {
            options->strLog = value;
        } else if (arg == "idle-exit") {
            char* end = nullptr;
            const unsigned long seconds = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0') {
                std::fprintf(stderr, "mavris-modem-sim: bad --idle-exit '%s'\n", value.c_str());
                return 1;
            }
            options->nIdleExitSeconds = static_cast<unsigned>(seconds);
        } else if (arg == "profile") {
            std::string text;
            if (!ReadFile(value, &text)) {
                std::fprintf(stderr, "mavris-modem-sim: cannot read %s\n", value.c_str());
                return 1;
            }
            if (!LoadProfileText(options->profile, text, &error)) {
                std::fprintf(stderr, "mavris-modem-sim: %s: %s\n", value.c_str(), error.c_str());
                return 1;
            }
        } else if (!ApplyProfileSetting(options->profile, arg, value, &error)) {
            std::fprintf(stderr, "mavris-modem-sim: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
