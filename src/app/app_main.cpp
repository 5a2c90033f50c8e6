// Mavris.exe: the entry point. Everything the program does runs in the application object;
// the one command line it knows is the write-only one of its own elevated start, which is
// handled before any window or the single-instance mutex exists.
#include <windows.h>

#include <cstdlib>

#include "app/elevated_write.h"
#include "app/hold_app.h"

// The C++ runtime's own handler for an exception that nobody catches prints the exception's
// demangled type on a console this program does not have; the demangler alone is a tenth of
// the program's size. Ending at once does what the user would see of the other anyway.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

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
