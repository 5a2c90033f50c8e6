// CDlgToolTip: the tip window of one dialog. Tips are attached per control and name their text
// by id, so the tip shows the text of the thread's language at the moment it appears.
#pragma once

#include <windows.h>

class CDlgToolTip {
public:
    CDlgToolTip() = default;
    ~CDlgToolTip();
    CDlgToolTip(const CDlgToolTip&) = delete;
    CDlgToolTip& operator=(const CDlgToolTip&) = delete;

    // Creates the tip window owned by the dialog, with no extra style: tips then show only
    // while the owner is the active window.
    bool Create(HWND hOwner);
    // Registers the whole control as a tool identified by its window handle; the tip window
    // watches the control's mouse messages itself. Returns the tip window's answer to
    // TTM_ADDTOOL (non-zero on success).
    LRESULT AddControlTip(HWND hControl, UINT nTextId);

    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    HWND m_hWnd = nullptr;
};
