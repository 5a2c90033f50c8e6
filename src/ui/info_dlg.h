// CInfoDlg: shown instead of the main window when the scan found no supported modem; closing
// it ends the program.
#pragma once

#include <windows.h>

#include "ui/dialog.h"
#include "platform/win32/win_handles.h"

class CInfoDlg : public CDialog {
public:
    CInfoDlg();

    // The window that this dialog takes the place of (the scan window): hidden, without
    // waiting for its thread, once this dialog is up in front.
    void SetReplacedWindow(HWND hWnd) { m_hReplaced = hWnd; }

    // The bold font of line 1043 while the object lives (null before the first opening).
    HFONT GetBoldFont() const { return m_font.Get(); }

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD nId, WORD nCode, HWND hControl) override;

private:
    CFontHandle m_font;
    HWND m_hReplaced = nullptr;
};

// The bold "MS Sans Serif" of the tool's emphasised lines (weight 700, height 12 at 96 dpi and
// growing with the dialog's font); the main dialog uses the same font for its modem name.
HFONT CreateBoldDialogFont(HWND hDialog);
