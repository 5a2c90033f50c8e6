// CExtraDlg: the Extra options dialog: the outside-line prefix dialled before the provider's
// service code, the two service codes for reference, and whether a change of behaviour is
// also announced to the provider by a call ("CallOut").
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/dialog.h"
#include "ui/dlg_tooltip.h"

class CCallWaitingControl;
class CSettingsStore;

// The "CallOut" setting as the dialog reaches it through the main dialog.
class ICallOutSetting {
public:
    virtual ~ICallOutSetting() = default;
    virtual std::uint32_t ReadCallOut() = 0;
    virtual void WriteCallOut(std::uint32_t value) = 0;
};

// The setting kept by the tool's settings store.
class CStoredCallOutSetting : public ICallOutSetting {
public:
    explicit CStoredCallOutSetting(CSettingsStore& store) : m_store(store) {}
    std::uint32_t ReadCallOut() override;
    void WriteCallOut(std::uint32_t value) override;

private:
    CSettingsStore& m_store;
};

class CExtraDlg : public CDialog {
public:
    // Neither object is owned. The parent is the main dialog.
    CExtraDlg(CCallWaitingControl* pCallWaiting, ICallOutSetting* pCallOut, HWND hParent);

    const std::string& GetOutsideLine() const { return m_strOutsideLine; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD nId, WORD nCode, HWND hControl) override;
    void OnOK() override;

private:
    // Keeps only what may be dialled in the prefix field, as the user types or pastes.
    void FilterOutsideLine();

    std::string m_strOutsideLine;
    CCallWaitingControl* m_pCallWaiting;
    CDlgToolTip m_toolTip;
    ICallOutSetting* m_pCallOut;
    bool m_bInitialised = false;        // the dialog has put in what it shows at the start
    bool m_bOutsideLineEdited = false;  // the user changed the prefix field since then
};
