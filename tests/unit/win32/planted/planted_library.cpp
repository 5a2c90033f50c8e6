// A library that the loader test plants beside the test program and in the current directory.
#include <windows.h>

extern "C" __declspec(dllexport) int MavrisPlantedLibrary() {
    return 1;
}
