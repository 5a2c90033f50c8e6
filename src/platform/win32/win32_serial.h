// CWin32SerialPorts: ISerialPorts on CreateFileA and the Win32 communications functions.
#pragma once

#include "platform/serial_device.h"
#include "platform/win32/win_handles.h"

class CWin32SerialPorts : public ISerialPorts {
public:
    CWin32SerialPorts();

    std::unique_ptr<ISerialDevice> Open(const char* deviceName) override;
    std::uint32_t GetLastError() override;
    void SetLastError(std::uint32_t error) override;
    void CancelAll() override;

private:
    // Manual reset, set by CancelAll: every wait of a device ends on it.
    CKernelHandle m_hCancel;
};
