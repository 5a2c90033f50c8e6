// How the link control paints: the width its text really covers, its colours in the normal and
// in a high-contrast scheme, and the focus cue.
#pragma once

#include <windows.h>

#include <string>

// The width the static really covers when it draws the text in hFont with the DrawText flags
// nFormat: its advance width extent.cx, or more where the renderer draws beyond it.
int PaintedTextWidth(HDC hDC, HFONT hFont, const std::string& text, UINT nFormat, SIZE extent);

// The DrawText flags the static control lays a single line of its text out with.
UINT StaticTextFormat(LONG_PTR nStyle);

// A high-contrast scheme is on (SPI_GETHIGHCONTRAST).
bool IsHighContrastOn();

// The text colour and the background of the link. In a high-contrast scheme every colour is the
// user's: the hyperlink colour on the window background (the pair the scheme makes readable),
// and while the pointer is over the link the selection's text on the selection's colour. Else
// the link's own colours on the dialog face.
struct LinkColours {
    COLORREF crText;
    int nBackground;  // a COLOR_ index
};
LinkColours ChooseLinkColours(bool bHighContrast, bool bHover, COLORREF crLink, COLORREF crHover);

// Draws the focus rectangle around rc when hWnd has the focus and its window shows focus cues
// (Windows hides them until the keyboard is used).
void DrawFocusCue(HWND hWnd, HDC hDC, const RECT& rc);
