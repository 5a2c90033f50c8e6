// Texts of the catalogue by id, in the language of the running thread (LoadStringA picks the
// copy of the thread's language and falls back by the platform's rules).
#pragma once

#include <windows.h>

#include <string>

// The module whose resources hold the texts, menus, icons and dialog layouts; the program
// itself unless set otherwise.
HINSTANCE GetResourceInstance();
void SetResourceInstance(HINSTANCE hInstance);

// The whole text, however long; empty when the id does not exist.
std::string LoadText(UINT nId);

// A text in a fixed buffer of 256 bytes: at most 255 characters, always terminated; empty when
// the id does not exist. Used where a short text is enough (window titles of small dialogs).
using CTextBuffer = char[256];
const char* LoadText(UINT nId, CTextBuffer& buffer);

// The text of a window as a growable string.
std::string GetWindowTextString(HWND hWnd);
