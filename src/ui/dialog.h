// CDialog: the base of every dialog of the tool. One static dialog procedure finds the object
// (handed over as the creation parameter and kept in DWLP_USER) and sends every message to the
// virtual OnMessage, which dispatches to the handlers below. No C++ exception ever leaves the
// procedure: Windows cannot unwind through its own frames.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/dialog_pictures.h"
#include "ui/object.h"

// Notifications that a dialog hands back to the child control they concern, so that a control
// class can set its own colours or react to its own clicks. Only children that asked for it
// (CDialog::EnableReflection) are sent these; the numbers are the usual reflection range.
inline constexpr UINT kReflectBase = WM_USER + 0x1C00;
inline constexpr UINT kReflectCommand = kReflectBase + WM_COMMAND;
inline constexpr UINT kReflectCtlColorStatic = kReflectBase + WM_CTLCOLORSTATIC;

class CDialog : public CObject {
    DECLARE_RUNTIME_CLASS(CDialog, CObject)

public:
    explicit CDialog(UINT nIDTemplate, HWND hParent = nullptr);
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Uses a template in memory instead of the numbered layout (it must outlive the window).
    void InitIndirect(const DLGTEMPLATE* pTemplate) { m_pTemplate = pTemplate; }

    // Runs the dialog modally; returns the value given to EndDialog, or -1 when the window
    // could not be created. Without a parent the owner is the default owner (below) when it
    // belongs to the calling thread.
    INT_PTR DoModal();
    // Creates the dialog modeless (not shown unless its layout says visible).
    bool Create(HWND hParent = nullptr);
    // Destroys a modeless dialog's window.
    bool DestroyWindow();
    // Ends a modal run with the result; a modeless dialog is hidden.
    void EndDialog(INT_PTR nResult);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int nId) const { return ::GetDlgItem(m_hWnd, nId); }
    bool IsModal() const { return m_bModal; }

    bool SetWindowText(const char* pszText) { return ::SetWindowTextA(m_hWnd, pszText) != FALSE; }
    bool SetDlgItemText(int nId, const char* pszText) {
        return ::SetDlgItemTextA(m_hWnd, nId, pszText) != FALSE;
    }
    bool SetDlgItemText(int nId, const std::string& text) {
        return SetDlgItemText(nId, text.c_str());
    }
    std::string GetDlgItemText(int nId) const;
    // Centres the window on its owner when that is visible, else on the screen's work area.
    void CenterWindow();

    // The owner of modal dialogs that are run without a parent, as the application's main
    // window is; only used on the thread that owns it.
    static void SetDefaultOwner(HWND hOwner);
    static HWND GetDefaultOwner();

    // The object of a dialog window run by this class; null for any other window (a message
    // box, a dialog of other code).
    static CDialog* FromHandle(HWND hWnd);

    // Marks a child control as one that wants its own notifications reflected to it.
    static void EnableReflection(HWND hControl, bool bEnable);

protected:
    // WM_INITDIALOG; returns true to let the dialog manager set the default focus.
    virtual bool OnInitDialog();
    // WM_COMMAND that no control took for itself; returns true when handled. The base maps
    // IDOK to OnOK and IDCANCEL to OnCancel.
    virtual bool OnCommand(WORD nId, WORD nCode, HWND hControl);
    virtual void OnOK();
    virtual void OnCancel();
    // WM_CLOSE; the base cancels, as the dialog manager would.
    virtual void OnClose();
    virtual void OnTimer(UINT_PTR nId);
    virtual void OnDestroy();
    // Last call for the window: the object is detached and may delete itself.
    virtual void PostNcDestroy();
    // Every message; returns true when handled with result in *pResult. The base dispatches to
    // the handlers above; overrides call it for everything they do not take themselves.
    virtual bool OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    HWND m_hWnd = nullptr;
    HWND m_hParent;

private:
    // The layout the dialog is made from, and what the dialog manager is given of it (null:
    // the numbered layout as it is).
    const DLGTEMPLATE* GetTemplate() const;
    const DLGTEMPLATE* LayoutToMake(const std::vector<DWORD>& copy) const;
    // Ending a modal run: enables the owner and gives it the activation.
    void HandBackToOwner();
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    static bool ReturnsDirectly(UINT nMsg);

    UINT m_nIDTemplate;
    const DLGTEMPLATE* m_pTemplate = nullptr;
    bool m_bModal = false;
    // The layout's pictures at the size of their frames, from the start of the window on.
    CDialogPictures m_pictures;
};
