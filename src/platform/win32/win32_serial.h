// CWin32SerialPorts: ISerialPorts on CreateFileA and the Win32 communications functions.
#pragma once

#include "platform/serial_device.h"

class CWin32SerialPorts : public ISerialPorts {
public:
    std::unique_ptr<ISerialDevice> Open(const char* deviceName) override;
    std::uint32_t GetLastError() override;
    void SetLastError(std::uint32_t error) override;
};
