// What only the process that owns a dialog can see of it: the fonts of its controls, the room
// their texts need in those fonts, and the size of the bitmaps its pictures show. ui-preview
// writes it beside the layouts; the checks set it against the controls' sizes.
#pragma once

#include <windows.h>

#include <cstdio>

namespace inspect {

// Writes one line for the display and one per control of the dialog, in the layout's order:
//   display<TAB>dpi<TAB>dialog font face<TAB>dialog font height (pixels)<TAB>icon size<TAB>
//          small icon size (SM_CXICON, SM_CXSMICON)
//   control<TAB>index<TAB>id<TAB>class<TAB>client w,h<TAB>font face<TAB>font height<TAB>
//          weight<TAB>needed w,h<TAB>bitmap w,h
// "needed" is what the control's text takes: for buttons and check boxes the control's own
// ideal size (BCM_GETIDEALSIZE: text, box and margins), for static texts the text as drawn
// (DT_CALCRECT: broken into lines of the control's width where the control wraps, else one
// line; a word wider than the control shows in the width); 0,0 for controls without text. "bitmap" is the size of a picture's bitmap or
// an icon's image, 0,0 for other controls.
void WriteMeasurements(std::FILE* f, HWND hDialog);

}  // namespace inspect
