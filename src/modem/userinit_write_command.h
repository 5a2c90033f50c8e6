// The write-only command line of the tool's own executable. A standard user may not write the
// modem class key, so the tool starts itself with administrator rights for that one write:
//   <program> --write-userinit <modem subkey 0..254> <mode of a behaviour>
// The elevated process reads the current "UserInit" itself and writes it rewritten by the
// same rule and limits as the tool. Nothing else is accepted (no value text, no key path, no
// further argument), so that the elevated program can never write anything but that value.
#pragma once

#include <string>

#include "modem/behaviours.h"

inline constexpr const char* kUserInitWriteKeyword = "--write-userinit";

// Exit codes of the elevated write.
inline constexpr int kWriteExitDone = 0;
inline constexpr int kWriteExitNotWritten = 1;  // no such key, not writable, value too long
inline constexpr int kWriteExitUsage = 2;       // malformed request: the registry was not touched
inline constexpr int kWriteExitFailed = 3;      // the value could not be stored

struct UserInitWriteRequest {
    int nKeyIndex = 0;
    Behaviour behaviour = Behaviour::kCutTheLine;
};

// Whether the command line asks for the write at all (argv[1] is the keyword).
bool IsUserInitWriteRequest(int argc, char** argv);
// The strict form: exactly the keyword, a subkey number 0..254 and the mode of a behaviour
// (modem/behaviours.h), each in plain decimal digits without sign, blanks or leading zeros.
bool ParseUserInitWriteRequest(int argc, char** argv, UserInitWriteRequest* pRequest);
// The arguments after the program name, as the elevation passes them.
std::string BuildUserInitWriteParameters(int nKeyIndex, int nMode);
