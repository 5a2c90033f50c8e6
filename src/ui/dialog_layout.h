// Reading the program's dialog layouts (classic and extended templates) for what the dialog
// manager does not tell once the controls exist: which bitmap each picture shows and the
// rectangle the layout gives it. And a copy of a layout without the pictures' bitmaps, so that
// the dialog manager does not load each at its full size only to have it replaced.
#pragma once

#include <windows.h>

#include <vector>

// The dialog layout of that id in the program's resources, or null.
const DLGTEMPLATE* FindDialogTemplate(UINT nDialogId);

// A picture of a layout: its place among the layout's controls, its bitmap, and its rectangle
// in dialog units (left, top, width, height).
struct LayoutPicture {
    int nItem = 0;
    UINT nBitmapId = 0;
    RECT rcUnits{};
};
// The pictures of a layout in the layout's order.
std::vector<LayoutPicture> FindLayoutPictures(const DLGTEMPLATE* pTemplate);

// The layout with every picture's bitmap left out (its controls otherwise the same, in the
// same order), in memory aligned as a layout must be; empty when the layout has no pictures.
std::vector<DWORD> LayoutWithoutPictureBitmaps(const DLGTEMPLATE* pTemplate);
