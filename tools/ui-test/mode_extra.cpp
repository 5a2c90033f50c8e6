// extra: the dialog of the extra settings, over a prepared registry.
#include <cstdlib>

#include "modem/call_waiting_control.h"
#include "modem/modem_info.h"
#include "platform/win32/win32_platform.h"
#include "settings/settings_store.h"
#include "ui/extra_dlg.h"

#include "uitest.h"

namespace uitest {

namespace {

class CProbeExtraDlg : public CExtraDlg {
public:
    using CExtraDlg::CExtraDlg;

protected:
    bool OnInitDialog() override {
        const bool bResult = CExtraDlg::OnInitDialog();
        g_out.Line("extra.hwnd=%s", Hwnd(m_hWnd).c_str());
        return bResult;
    }
};

}  // namespace

int RunExtra(const Options& options) {
    if (options.bLocationPrefix) {
        if (!SetDword(HKEY_LOCAL_MACHINE, kLocationsKey, "CurrentID", 1) ||
            !SetString(HKEY_LOCAL_MACHINE, (std::string(kLocationsKey) + "\\Location1").c_str(),
                       "OutsideAccess", options.locationPrefix)) {
            g_out.Line("error=telephony location not written");
            return kExitCheckFailed;
        }
    }
    if (options.bNoLocation) {
        DeleteValue(HKEY_LOCAL_MACHINE, kLocationsKey, "CurrentID");
    }
    if (options.callOut == "none") {
        // The key stays (created when missing): only a missing value makes the store write
        // its default back.
        HKEY hKey = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &hKey, nullptr) == ERROR_SUCCESS) {
            RegCloseKey(hKey);
        }
        DeleteValue(HKEY_CURRENT_USER, kSettingsKey, "CallOut");
    } else if (!options.callOut.empty()) {
        SetDword(HKEY_CURRENT_USER, kSettingsKey, "CallOut",
                 static_cast<DWORD>(std::atoi(options.callOut.c_str())));
    }
    // A modem record for the control to belong to; the dialog itself never reads it.
    HKEY hModem = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestModemKey, 0, KEY_QUERY_VALUE, &hModem) ==
        ERROR_SUCCESS) {
        RegCloseKey(hModem);
    } else {
        SetString(HKEY_LOCAL_MACHINE, kTestModemKey, "AttachedTo", "COM1");
        SetString(HKEY_LOCAL_MACHINE, kTestModemKey, "Model", "Mavris Test Modem");
    }

    const Platform& platform = GetWin32Platform();
    ModemInfo modem(platform, 0);
    CCallWaitingControl callWaiting(platform, &modem);
    if (options.bStoredPrefix) {
        callWaiting.SetOutsideAccess(options.storedPrefix);
    }
    CSettingsStore store(platform);
    CStoredCallOutSetting callOut(store);

    for (int nRun = 1; nRun <= options.nRepeat && !g_bTimedOut; ++nRun) {
        g_out.Line("run=%d", nRun);
        CProbeExtraDlg dialog(&callWaiting, &callOut, g_hMain);
        g_pCurrentDialog = &dialog;
        const INT_PTR nResult = dialog.DoModal();
        g_pCurrentDialog = nullptr;
        if (nResult == -1) {
            g_out.Line("error=extra dialog not created");
            return kExitNoWindow;
        }
        g_out.Line("extra.result=%s", nResult == IDOK ? "ok" : "cancel");
        g_out.Line("extra.outside_access=%s", callWaiting.GetOutsideAccess().c_str());
        g_out.Line("extra.callout=%s", ReadCallOutValue().c_str());
    }
    return g_bTimedOut ? kExitCheckFailed : kExitOk;
}

}  // namespace uitest
