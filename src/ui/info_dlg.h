// CInfoDlg: shown instead of the main window when the scan found no supported modem; closing
// it ends the program.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/dialog.h"
#include "platform/win32/win_handles.h"

class CInfoDlg : public CDialog {
public:
    CInfoDlg();

    // The window that this dialog takes the place of (the scan window): hidden, without
    // waiting for its thread, once this dialog is up in front.
    void SetReplacedWindow(HWND hWnd) { m_hReplaced = hWnd; }
    // The COM ports that the scan found held by another program: the dialog says so instead
    // of reporting no modem, which there may well be.
    void SetPortsHeldElsewhere(std::vector<int> ports) { m_portsHeldElsewhere = std::move(ports); }

    // The bold font of line 1043 while the object lives (null before the first opening).
    HFONT GetBoldFont() const { return m_font.Get(); }

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD nId, WORD nCode, HWND hControl) override;

private:
    CFontHandle m_font;
    HWND m_hReplaced = nullptr;
    std::vector<int> m_portsHeldElsewhere;
};

// The hint of the info dialog that names the ports held by another program ("COM3, COM5").
std::string BuildPortsInUseHint(const std::string& hint, const std::vector<int>& ports);

// The bold "MS Sans Serif" of the tool's emphasised lines (weight 700, height 12 at 96 dpi and
// growing with the dialog's font); the main dialog uses the same font for its modem name.
HFONT CreateBoldDialogFont(HWND hDialog);
