// Loading the libraries the program binds at run time (HTML Help, shell32, ole32). A bare name
// is looked for in the program's own folder first and in the current directory too: a DLL of
// that name lying beside the program (in the Downloads folder where the zip was unpacked, say)
// would be loaded instead of the system's. These are therefore only ever loaded from the
// system folder, by full path.
#pragma once

#include <windows.h>

// The library pszName (a file name without any folder) from the system folder, with the
// libraries it needs looked for there first as well; null when it is not there or the path
// cannot be built. Nothing is loaded from the program's folder or the current directory.
HMODULE LoadSystemLibrary(const char* pszName);

// The function pszName of a loaded module as the pointer type Function (which must carry the
// function's calling convention, WINAPI); null when the module or the function is missing,
// as on a Windows older than the function.
template <typename Function>
Function GetFunction(HMODULE hModule, const char* pszName) {
    if (hModule == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(hModule, pszName)));
}

// The function pszName of the system library pszDll, which stays loaded for the life of the
// program; null when either is missing.
template <typename Function>
Function GetSystemFunction(const char* pszDll, const char* pszName) {
    return GetFunction<Function>(LoadSystemLibrary(pszDll), pszName);
}
