// The real Win32 backends of the seams, bundled for the Windows programs.
#pragma once

#include "platform/services.h"

// The process-wide Win32 platform: registry, serial devices, Sleep, OutputDebugStringA,
// GetModuleFileNameW and the elevation that starts this program's own executable with
// administrator rights (which must therefore accept the write-only command line of
// modem/userinit_write_request.h). Lives until the process ends.
const Platform& GetWin32Platform();

class CWin32Elevation;
// The elevation of that platform, for the program to say where its consent prompt belongs.
CWin32Elevation& GetWin32Elevation();
