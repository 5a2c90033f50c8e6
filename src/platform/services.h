// The remaining seams: sleeping, the debug log and the program's own path, and the bundle
// of all seams that the portable core is given.
#pragma once

#include <cstdint>

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

class IModule {
public:
    virtual ~IModule() = default;
    // GetModuleFileNameA(NULL, buffer, size): the length of the path without its NUL.
    virtual std::uint32_t GetFileName(char* buffer, std::uint32_t size) = 0;
};

// Everything the portable core touches outside itself. The objects are not owned.
struct Platform {
    IRegistry* registry = nullptr;
    ISerialPorts* serial = nullptr;
    ISleeper* sleeper = nullptr;
    IDebugLog* log = nullptr;
    IModule* module = nullptr;
};
