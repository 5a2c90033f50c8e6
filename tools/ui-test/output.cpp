// The result lines of mavris-uitest and how values are written in them.

#include "uitest.h"

namespace uitest {

COutput g_out;

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Hwnd(HWND hWnd) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hWnd)));
    return sz;
}

std::string Rect(const RECT& rc) {
    char sz[64];
    std::snprintf(sz, sizeof sz, "%ld,%ld,%ld,%ld", rc.left, rc.top, rc.right, rc.bottom);
    return sz;
}

}  // namespace uitest
