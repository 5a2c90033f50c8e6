// CModemList: the installed modems, reduced by the start-up scan to the
// supported ones that are set up for Germany.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "modem/modem_info.h"
#include "platform/services.h"

// Receives the country warning for a supported modem that is not set up for Germany.
// Called synchronously on the scan thread while the record is still at nIndex; the scan
// goes on only when the call returns.
class ICountryWarningSink {
public:
    virtual ~ICountryWarningSink() = default;
    virtual void OnCountryWarning(int nIndex) = 0;
};

class CModemList {
public:
    static constexpr int kCapacity = kMaxModemKeys;

    explicit CModemList(const Platform& platform, ICountryWarningSink* pSink = nullptr);
    ~CModemList();
    CModemList(const CModemList&) = delete;
    CModemList& operator=(const CModemList&) = delete;

    void SetCountryWarningSink(ICountryWarningSink* pSink) { m_pSink = pSink; }

    // Fills the empty list with one record per COM port from the modem subkeys.
    void LoadRegEntries();
    // Probes every record and removes all but the supported ones set up for Germany. Every
    // port the scan opened and dropped is closed with its settings put back. After Cancel it
    // opens no further port, and the records it had not probed yet are removed too.
    void ReduceToModemOnHoldSupported();
    // The program ends while the scan may still run (any thread): the scan stops before its
    // next modem or probe, and a read or write of a port under way ends at once.
    void Cancel();
    // The COM ports that the scan could not open because another program held them.
    const std::vector<int>& GetPortsHeldElsewhere() const { return m_portsHeldElsewhere; }

    static bool IsSupportedModel(std::string name);

    // Destroys record n and closes the gap; returns the new count. An index outside the list
    // changes nothing.
    int RemoveAt(int n);
    // Record n, owned by the list; null for an index outside the list.
    ModemInfo* GetAt(int n) const { return n >= 0 && n < m_nCount ? m_apModems[n].get() : nullptr; }
    int GetCount() const { return m_nCount; }
    std::vector<std::string> GetNameList() const;

private:
    // Drops record n, its port closed with its settings put back.
    void DropRecord(int n);

    std::atomic<bool> m_bCancel{false};  // set by Cancel, read by the scan thread
    std::vector<int> m_portsHeldElsewhere;
    Platform m_platform;
    ICountryWarningSink* m_pSink;
    std::array<std::unique_ptr<ModemInfo>, kCapacity> m_apModems;
    int m_nCount = 0;
};
