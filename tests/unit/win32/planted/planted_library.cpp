// A library that the loader tests plant beside the test program and in the current directory,
// under its own name and under the names of system libraries; nothing may ever load it.
#include <windows.h>

extern "C" __declspec(dllexport) int MavrisPlantedLibrary() {
    return 1;
}
