// The real Win32 backends of the seams, bundled for the Windows programs.
#pragma once

#include "platform/services.h"

// The process-wide Win32 platform: registry, serial devices, Sleep, OutputDebugStringA and
// GetModuleFileNameA. Lives until the process ends.
const Platform& GetWin32Platform();
