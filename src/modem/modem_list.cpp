#include "modem/modem_list.h"

#include <utility>

#include "modem/modem_keys.h"
#include "modem/replies.h"

CModemList::CModemList(const Platform& platform, ICountryWarningSink* pSink)
    : m_platform(platform), m_pSink(pSink) {}

CModemList::~CModemList() = default;

void CModemList::LoadRegEntries() {
    // The subkeys that exist, in either layout: uninstalling a modem leaves a hole in the
    // numbers, and the modems behind it count as much as those before.
    std::vector<int> keys;
    try {
        keys = ListModemKeysOfBothLayouts(*m_platform.registry);
    } catch (...) {
        m_platform.log->Write("*** Load reg entries \n");
        return;
    }
    for (int i : keys) {
        if (m_nCount >= kCapacity) {
            return;
        }
        std::unique_ptr<ModemInfo> pInfo;
        try {
            pInfo = std::make_unique<ModemInfo>(m_platform, i);
        } catch (...) {
            m_platform.log->Write("*** Load reg entries \n");
            return;
        }
        const int nPort = pInfo->GetComPort();
        // -1: the subkey went away since it was listed, or it was only a number to try.
        if (nPort <= 0) {
            continue;
        }
        bool bTaken = false;
        for (int j = 0; j < m_nCount; ++j) {
            if (m_apModems[j]->GetComPort() == nPort) {
                bTaken = true;
                break;
            }
        }
        if (bTaken) {
            // Of several subkeys on one port, the lowest number wins.
            continue;
        }
        m_apModems[m_nCount++] = std::move(pInfo);
    }
}

void CModemList::ReduceToModemOnHoldSupported() {
    int i = 0;
    while (i < m_nCount && !m_bCancel) {
        ModemInfo* pInfo = m_apModems[i].get();
        bool bConnected = false;
        bool bSupported = false;
        bool bCallWaiting = false;
        bool bGermany = false;
        try {
            // All four every time, in this order, whatever the earlier ones answered; none
            // once the program ends.
            bConnected = pInfo->ConnectToModem();
            bSupported = IsSupportedModel(pInfo->GetName());
            bCallWaiting = !m_bCancel && pInfo->ProbeCallWaiting();
            bGermany = !m_bCancel && pInfo->ProbeCountry();
        } catch (...) {
            m_platform.log->Write("*** reduce To Modem On Hold Supported \n");
            DropRecord(i);
            continue;
        }
        if (pInfo->IsPortHeldElsewhere()) {
            m_portsHeldElsewhere.push_back(pInfo->GetComPort());
        }
        if (bConnected && bSupported && bCallWaiting && !m_bCancel) {
            if (bGermany) {
                ++i;
                continue;
            }
            // The receiver looks at the record while it is still in slot i.
            if (m_pSink != nullptr) {
                m_pSink->OnCountryWarning(i);
            }
        }
        DropRecord(i);
    }
    // Cancelled: what was not probed is no supported modem.
    while (i < m_nCount) {
        DropRecord(i);
    }
}

void CModemList::Cancel() {
    m_bCancel = true;
    m_platform.serial->CancelAll();
}

void CModemList::DropRecord(int n) {
    if (ModemInfo* pInfo = GetAt(n)) {
        pInfo->ReleasePort();
    }
    RemoveAt(n);
}

bool CModemList::IsSupportedModel(std::string name) {
    return IsSupportedModelName(name);
}

int CModemList::RemoveAt(int n) {
    if (n < 0 || n >= m_nCount) {
        return m_nCount;
    }
    m_apModems[n].reset();
    for (int j = n; j + 1 < m_nCount; ++j) {
        m_apModems[j] = std::move(m_apModems[j + 1]);
    }
    --m_nCount;
    m_apModems[m_nCount].reset();
    return m_nCount;
}

std::vector<std::string> CModemList::GetNameList() const {
    std::vector<std::string> names;
    names.reserve(m_nCount);
    for (int i = 0; i < m_nCount; ++i) {
        names.push_back(m_apModems[i]->GetName());
    }
    return names;
}
