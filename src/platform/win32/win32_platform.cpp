#include "platform/win32/win32_platform.h"

#include <windows.h>

#include "platform/win32/win32_elevation.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_serial.h"
#include "platform/win32/wide_text.h"

namespace {

class CWin32Sleeper : public ISleeper {
public:
    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

class CWin32DebugLog : public IDebugLog {
public:
    void Write(const char* line) override { ::OutputDebugStringA(line); }
};

class CWin32Module : public IModule {
public:
    std::string GetFilePath() override { return WideToUtf8(GetOwnExecutablePath()); }
};

}  // namespace

CWin32Elevation& GetWin32Elevation() {
    // Never destroyed, as the platform below.
    static CWin32Elevation* const s_pElevation = new CWin32Elevation;
    return *s_pElevation;
}

const Platform& GetWin32Platform() {
    // Built on first use and never destroyed, so that threads still running while the process
    // ends never meet a destroyed backend.
    static const Platform* const platform = [] {
        auto* p = new Platform;
        p->registry = new CWin32Registry;
        p->serial = new CWin32SerialPorts;
        p->sleeper = new CWin32Sleeper;
        p->log = new CWin32DebugLog;
        p->module = new CWin32Module;
        p->elevation = &GetWin32Elevation();
        return p;
    }();
    return *platform;
}
