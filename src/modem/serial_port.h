// CSerialPort: the blocking channel to one modem on one COM port, with the AT
// command exchange built on it.
#pragma once

#include <memory>
#include <string>

#include "platform/serial_device.h"
#include "platform/services.h"

class CSerialPort {
public:
    CSerialPort(const Platform& platform, int nPort);
    // Closes an open device without putting its saved settings back.
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens "\\.\COMn" exclusively and applies the fixed line settings and time-outs.
    // False when the device cannot be opened; throws CUserException when configuring fails.
    // An open channel stays as it is: true, with the settings saved at the first Open.
    bool Open();
    // Puts the saved time-outs and line settings back, then closes. Throws CUserException
    // (device still open) when restoring fails. Harmless on a closed channel.
    void Close();
    // Releases the device without putting its saved settings back, as the destructor does:
    // for a failure path whose Close could not restore them, so the port is not kept busy.
    void Abandon() { m_hComm.reset(); }
    // Close, and where that fails, Abandon: the port is free afterwards in any case. False
    // when its settings could not be put back. Never throws.
    bool CloseOrAbandon();
    bool Write(const void* data, int length);
    int Read(void* buffer, int size);

    // AT command exchange: write, pause 200 ms, one read.
    bool SendExpectReply(const char* command, int maxReply);
    std::string Exchange(const char* command);
    std::string Query(const char* command);
    std::string ReadResponse();

    // Probes of the maker and the model.
    bool ResetAndCheckMaker();
    std::string QueryModel();

    int GetPortNumber() const { return m_nPort; }
    // The latest Open found the device held by another program (a dial-up connection, a fax
    // or answering program watching the line).
    bool IsHeldElsewhere() const { return m_bHeldElsewhere; }
    bool IsOpen() const { return m_hComm != nullptr; }

private:
    void ApplyLineSettings();
    void ApplyTimeouts();
    // One ReadFile for the command-level reads: throws when it fails with a last error.
    std::uint32_t ReadChecked(char* buffer, std::uint32_t size);

    Platform m_platform;
    int m_nPort;
    std::unique_ptr<ISerialDevice> m_hComm;  // null while closed
    SerialLineSettings m_dcbSaved{};
    SerialTimeouts m_toSaved{};
    bool m_bHeldElsewhere = false;
};
