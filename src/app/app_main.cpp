// Mavris.exe: the entry point. Everything the program does runs in the application object;
// the one command line it knows is the write-only one of its own elevated start, which is
// handled before any window or the single-instance mutex exists.
#include <windows.h>

#include <cstdlib>

#include "app/elevated_write.h"
#include "app/hold_app.h"

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPSTR /*pszCmdLine*/,
                   int /*nShowCmd*/) {
    int nExitCode = 0;
    if (RunElevatedWriteIfRequested(__argc, __argv, &nExitCode)) {
        return nExitCode;
    }
    CHoldApp app;
    app.InitInstance();
    return 0;
}
