// The start of Mavris.exe on the write-only command line: the process that the tool starts
// with administrator rights to rewrite one modem's "UserInit" (modem/userinit_write_command.h).
#pragma once

// Call first thing in WinMain, before any window or the single-instance mutex. False when the
// command line is not the write keyword: a normal start. Otherwise parses the request
// strictly, rewrites the value when it is well-formed (a malformed one touches no registry
// value), puts the exit code in *pnExitCode and returns true; the process then ends with it.
bool RunElevatedWriteIfRequested(int argc, char** argv, int* pnExitCode);
