// Sleeping and the debug log on POSIX systems.
#pragma once

#include "platform/services.h"

class CPosixSleeper : public ISleeper {
public:
    void Sleep(std::uint32_t milliseconds) override;
};

// The debug log goes to standard error, as OutputDebugStringA goes to the debugger.
class CStderrLog : public IDebugLog {
public:
    void Write(const char* line) override;
};
