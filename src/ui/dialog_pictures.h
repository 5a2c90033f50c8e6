// The pictures of a dialog at the size of their frames. A picture control shows its bitmap at
// the bitmap's own size, while the layout's frames, in dialog units, grow with the dialog font
// and so with the display's dpi. Each picture is therefore drawn anew, when the dialog starts,
// from a bitmap shipped larger than its frame will be up to 200 % (tools/images):
// - a picture strip fills the rectangle its layout gives it, scaled uniformly to the frame's
//   height with the frame's width cut from its middle;
// - a rule, a picture one dialog unit wide, takes the height of the strip it stands beside and
//   is one pixel wide at 96 dpi, wider in proportion above.
// The dialog owns the bitmaps it hands to its pictures and lets them go after the controls.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "platform/win32/win_handles.h"
#include "ui/dialog_layout.h"

// A picture's bitmap as a bitmap resource holds it (a packed DIB), or none (null).
struct PictureArt {
    const void* pData = nullptr;
    std::size_t nSize = 0;
};
using PictureArtLookup = PictureArt (*)(UINT nBitmapId);

// The bitmap resource of that id in the program's resources.
PictureArt FindBitmapResource(UINT nBitmapId);

class CDialogPictures {
public:
    // Draws each picture of the dialog, which was made from pTemplate, at its frame's size;
    // returns how many pictures were drawn. A picture whose bitmap cannot be read keeps what
    // the layout gave it.
    int Fit(HWND hDialog, const DLGTEMPLATE* pTemplate,
            PictureArtLookup lookup = FindBitmapResource);
    // Only once the pictures' windows are gone.
    void Release() { m_bitmaps.clear(); }

private:
    std::vector<CBitmapHandle> m_bitmaps;
};
