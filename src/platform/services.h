// The remaining seams: sleeping, the debug log, the program's own path and elevation, and
// the bundle of all seams that the portable core is given.
#pragma once

#include <cstdint>
#include <string>

class IRegistry;
class ISerialPorts;

class ISleeper {
public:
    virtual ~ISleeper() = default;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

class IDebugLog {
public:
    virtual ~IDebugLog() = default;
    // OutputDebugStringA: the line is written as given, line feed included.
    virtual void Write(const char* line) = 0;
};

// The program's own executable started with administrator rights, for the one write below
// HKEY_LOCAL_MACHINE that the tool makes: "UserInit" of a modem subkey, which a standard user
// may read but not write. What to start it with is the caller's: the seam only runs it.
class IElevation {
public:
    enum class Result { kDone, kDeclined, kFailed };

    virtual ~IElevation() = default;
    // Starts the program with these command-line arguments and administrator rights and waits
    // for it. kDone: it ended with exit code 0; kDeclined: the user refused consent; kFailed:
    // it did not run or ended with another code.
    virtual Result RunOwnProgram(const std::string& arguments) = 0;
};

class IModule {
public:
    virtual ~IModule() = default;
    // The full path of the program's own executable in UTF-8 (GetModuleFileNameW: whole,
    // whatever the ANSI code page can write); empty when it cannot be had.
    virtual std::string GetFilePath() = 0;
};

// Everything the portable core touches outside itself. The objects are not owned; a null
// elevation means that none is available.
struct Platform {
    IRegistry* registry = nullptr;
    ISerialPorts* serial = nullptr;
    ISleeper* sleeper = nullptr;
    IDebugLog* log = nullptr;
    IModule* module = nullptr;
    IElevation* elevation = nullptr;
};
