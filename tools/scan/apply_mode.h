// The apply mode of mavris-scan: after the scan, carries out one change of behaviour on the
// first supported modem as the tool's main dialog does, and prints its outcome:
//   apply<TAB>result        0, -1 or -2 as Apply returns it
//   userinit<TAB>value      "UserInit" of the modem's subkey as it is now in the registry
#pragma once

#include <cstdio>
#include <string>

#include "modem/behaviours.h"
#include "platform/services.h"

class CModemList;

inline constexpr const char* kApplyUsage =
    "  --apply MODE [--sound 0|1] [--callout 0|1] [--prefix TEXT | --location]\n"
    "      after the scan, set MODE (1 Cut the Line, 2 Stay Connected) on the first\n"
    "      supported modem as the tool does, then print the result and the UserInit value.\n"
    "      Speaker and provider call default to 1; the outside-line prefix is TEXT, else\n"
    "      the current telephony location's (--location reads it before the change, as\n"
    "      the Extra dialog does), or none.\n";

struct ApplyArgs {
    enum class Prefix { kNone, kText, kLocation };

    bool bApply = false;
    Behaviour behaviour = Behaviour::kCutTheLine;
    int nSound = 1;
    int nCallOut = 1;
    Prefix prefix = Prefix::kNone;
    std::string strPrefix;
    bool bOptionSeen = false;  // --sound, --callout, --prefix or --location was given
};

// Takes argv[i] and its value when they belong to the apply mode. Returns how many arguments
// it took (0: not an apply argument; -1: a bad one, with the reason in *pError).
int ParseApplyArg(int argc, char** argv, int i, ApplyArgs* pArgs, std::string* pError);
// Checks the apply arguments as a whole once all are parsed; false with a reason.
bool CheckApplyArgs(const ApplyArgs& args, std::string* pError);

// Runs the change on record 0 of the scanned list and prints its lines. Returns the exit
// code: 0 when Apply returned 0, 1 otherwise (no supported modem included).
int RunApplyMode(const Platform& platform, CModemList& list, const ApplyArgs& args, std::FILE* out);
