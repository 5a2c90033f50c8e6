#include "ui/text.h"

#include <vector>

namespace {
HINSTANCE g_hResourceInstance = nullptr;
}

HINSTANCE GetResourceInstance() {
    return g_hResourceInstance != nullptr ? g_hResourceInstance : GetModuleHandleA(nullptr);
}

void SetResourceInstance(HINSTANCE hInstance) {
    g_hResourceInstance = hInstance;
}

std::string LoadText(UINT nId) {
    // LoadStringA reports only how much it copied, so grow the buffer until the text no longer
    // fills it: a copy shorter than the buffer minus its NUL is the whole text.
    std::vector<char> buffer(256);
    for (;;) {
        const int nLength =
            LoadStringA(GetResourceInstance(), nId, buffer.data(), static_cast<int>(buffer.size()));
        if (nLength <= 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(nLength) < buffer.size() - 1 || buffer.size() >= 65536) {
            return std::string(buffer.data(), static_cast<std::size_t>(nLength));
        }
        buffer.resize(buffer.size() * 2);
    }
}

const char* LoadText(UINT nId, CTextBuffer& buffer) {
    buffer[0] = '\0';
    if (LoadStringA(GetResourceInstance(), nId, buffer, static_cast<int>(sizeof buffer)) <= 0) {
        buffer[0] = '\0';
    }
    return buffer;
}

std::string GetWindowTextString(HWND hWnd) {
    const int nLength = GetWindowTextLengthA(hWnd);
    if (nLength <= 0) {
        return std::string();
    }
    std::vector<char> buffer(static_cast<std::size_t>(nLength) + 1);
    const int nCopied = GetWindowTextA(hWnd, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), nCopied > 0 ? static_cast<std::size_t>(nCopied) : 0);
}
