#include "platform/win32/wide_text.h"

#include <windows.h>

std::wstring Utf8ToWide(std::string_view utf8) {
    if (utf8.empty()) {
        return std::wstring();
    }
    const int nSize = static_cast<int>(utf8.size());
    const int nWide = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), nSize, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(nWide > 0 ? nWide : 0), L'\0');
    if (nWide > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), nSize, wide.data(), nWide);
    }
    return wide;
}

std::string WideToUtf8(std::wstring_view wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int nSize = static_cast<int>(wide.size());
    const int nBytes =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), nSize, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(nBytes > 0 ? nBytes : 0), '\0');
    if (nBytes > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), nSize, utf8.data(), nBytes, nullptr,
                              nullptr);
    }
    return utf8;
}

std::wstring GetOwnExecutablePath() {
    // A path that does not fit comes back cut, with the buffer's full length: try a larger
    // buffer, up to the longest path Windows has.
    for (DWORD nSize = MAX_PATH + 1; nSize <= 32768; nSize *= 2) {
        std::wstring path(nSize, L'\0');
        const DWORD nLength = ::GetModuleFileNameW(nullptr, path.data(), nSize);
        if (nLength == 0) {
            return std::wstring();
        }
        if (nLength < nSize) {
            path.resize(nLength);
            return path;
        }
    }
    return std::wstring();
}
