// CScanDlg: the modeless window that tells the user the tool is looking for modems. Closing it
// is the user's way to abandon the scan and the program.
#pragma once

#include <windows.h>

#include "ui/dialog.h"

class CScanDlg : public CDialog {
public:
    // hMainWnd gets WM_APP_SHUTDOWN when the user closes this window; it is also the parent.
    // Create the object with new: it deletes itself once its window is gone.
    explicit CScanDlg(HWND hMainWnd);

    // Creates the window from its layout (modeless; shown by the caller).
    bool Create();
    // The main window, when it comes only after this window (the scan window is shown
    // first, while the main window is still being built): it gets the close request and
    // becomes the owner.
    void SetMainWnd(HWND hMainWnd);

protected:
    ~CScanDlg() override = default;
    bool OnInitDialog() override;
    void OnClose() override;
    void PostNcDestroy() override;

private:
    HWND m_hMainWnd;
};
