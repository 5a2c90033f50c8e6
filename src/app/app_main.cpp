// Mavris.exe: the entry point. The program takes no command line; everything it does runs in
// the application object.
#include <windows.h>

#include "app/hold_app.h"

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPSTR /*pszCmdLine*/,
                   int /*nShowCmd*/) {
    CHoldApp app;
    app.InitInstance();
    return 0;
}
