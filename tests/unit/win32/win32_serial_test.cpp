// The Win32 serial backend: opening a port that does not exist fails cleanly and leaves the
// reason in the thread's last error, which the channel above reads through the same object.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_serial.h"

namespace {

TEST(Win32SerialPortsTest, OpeningAMissingPortGivesNoDeviceAndAnError) {
    CWin32SerialPorts ports;
    for (const char* name : {"\\\\.\\COM250", "\\\\.\\COM9", "\\\\.\\NOSUCHDEVICE"}) {
        SCOPED_TRACE(name);
        ports.SetLastError(0);
        EXPECT_EQ(nullptr, ports.Open(name));
        EXPECT_NE(0u, ports.GetLastError());
        EXPECT_EQ(::GetLastError(), ports.GetLastError());
    }
}

TEST(Win32SerialPortsTest, LastErrorIsTheThreadsOwn) {
    ISerialPorts& ports = *GetWin32Platform().serial;
    ports.SetLastError(1234);
    EXPECT_EQ(1234u, ::GetLastError());
    ::SetLastError(0);
    EXPECT_EQ(0u, ports.GetLastError());
}

}  // namespace
