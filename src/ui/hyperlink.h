// CHyperLink: turns a static text control of a dialog into a web link: underlined text in the
// link colour, the hover colour while the pointer is over it, a hand cursor, and a click that
// opens the target address in the user's browser. The link is a tab stop with a focus cue, and
// Enter or Space opens it; in a high-contrast scheme it takes the scheme's colours.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/win_handles.h"
#include "ui/link_paint.h"

class CHyperLink {
public:
    static constexpr COLORREF kLinkColour = 0x0072542E;   // red 46, green 84, blue 114
    static constexpr COLORREF kHoverColour = 0x002688EC;  // red 236, green 136, blue 38
    static constexpr UINT_PTR kHoverTimerId = 100;
    static constexpr UINT kHoverPeriod = 100;
    // The fallback command line of the ".htm" handler, NUL included.
    static constexpr std::size_t kCommandBufferSize = 520;

    // What a click does with the target; the default opens it (OpenLink). Tests and the
    // dialog test program put something harmless in its place.
    using LinkOpener = INT_PTR (*)(const std::string& target, int nShowCmd);
    static void SetLinkOpener(LinkOpener pfnOpener);
    // Whether a high-contrast scheme is on; the system's answer unless a test puts its own in
    // place (Wine has no such schemes).
    using HighContrastQuery = bool (*)();
    static void SetHighContrastQuery(HighContrastQuery pfnQuery);

    CHyperLink() = default;
    ~CHyperLink();
    CHyperLink(const CHyperLink&) = delete;
    CHyperLink& operator=(const CHyperLink&) = delete;

    // Makes the static control hStatic a link (the dialog's binding of its controls).
    bool Attach(HWND hStatic);
    bool AttachDlgItem(HWND hDialog, int nId) { return Attach(GetDlgItem(hDialog, nId)); }
    void Detach();

    // Stores the address a click opens and fits the control to its text; the text itself is
    // not changed.
    void SetLinkTarget(const std::string& target);
    const std::string& GetLinkTarget() const { return m_strTarget; }

    // Opens the address in the browser: through the shell, else through the command
    // registered for ".htm" files. Returns the platform's code, above 32 on success.
    static INT_PTR OpenLink(const std::string& address, int nShowCmd);

    // Sizes the control to its text in the underlined font, keeping its borders, its left,
    // right or centre edge (SS_CENTER, SS_RIGHT) and, with SS_CENTERIMAGE, its vertical centre.
    void FitToText();

    HWND GetSafeHwnd() const { return m_hWnd; }
    bool IsHovering() const { return m_bHover; }
    HFONT GetUnderlineFont() const { return m_fontUnderline.Get(); }
    HCURSOR GetHandCursor() const { return m_hHandCursor; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR uIdSubclass, DWORD_PTR dwRefData);
    LRESULT OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    void LoadHandCursor();
    // What a click, Enter or Space does: the target is opened.
    void Open();
    LinkColours GetColours() const;
    void PaintClient(HDC hDC);
    void OnMouseMove();
    void OnHoverTimer();

    COLORREF m_crLink = kLinkColour;
    COLORREF m_crHover = kHoverColour;
    bool m_bHover = false;
    std::string m_strTarget;
    CFontHandle m_fontUnderline;
    HCURSOR m_hHandCursor = nullptr;
    UINT_PTR m_nHoverTimer = kHoverTimerId;
    HWND m_hWnd = nullptr;
    HFONT m_hOriginalFont = nullptr;
};

// The ".htm" fallback of OpenLink, in pieces that can be checked on their own.

// The default value of hRoot\subKey (RegQueryValueA into 260 bytes). 0 and the text on
// success, else the error; a value that does not fit is an error (ERROR_MORE_DATA), never a
// cut text.
LONG ReadRegDefault(HKEY hRoot, const char* pszSubKey, std::string* pValue);

// Builds the command line from a registered open command and the address: the command is cut
// at a quoted placeholder "\"%1\"" (from its opening quote) or else at a bare "%1", then a blank
// and the address follow. False, and nothing to run, when the command is empty after the cut
// or the whole line with its NUL would not fit into nBufferSize bytes.
bool ComposeOpenCommand(std::string_view registered, std::string_view address,
                        std::size_t nBufferSize, std::string* pCommand);

// Looks up the ".htm" open command below hRoot (HKEY_CLASSES_ROOT for the real thing) and
// composes the command line for the address; false when any piece is missing or unusable.
bool BuildHtmOpenCommand(HKEY hRoot, std::string_view address, std::string* pCommand);
