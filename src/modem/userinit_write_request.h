// Carrying out the write-only command line (modem/userinit_write_command.h) in the elevated
// process: the subkey's "UserInit" rewritten by the tool's own rule and limits.
#pragma once

#include "modem/userinit_write_command.h"
#include "platform/services.h"

// Parses the command line and, when it is well-formed, rewrites the value; returns the exit
// code. The platform's elevation is not used: this already is the elevated process.
int RunUserInitWriteRequest(const Platform& platform, int argc, char** argv);
