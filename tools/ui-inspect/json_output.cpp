// The JSON that every command prints: strings, numbers and the raw UTF-8 output.
#include <cstdio>
#include <cstring>

#include "common/escape.h"
#include "ui_inspect.h"

namespace inspect {

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
    return out;
}

std::string Quote(const std::wstring& text) {
    return "\"" +
           escape::Escape(
               Utf8(text), "\\u00", [](unsigned char c) { return c < 0x20; }, true) +
           "\"";
}

std::string Hex(unsigned long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "\"0x%llx\"", v);
    return buf;
}

std::string Num(long long v) {
    return std::to_string(v);
}

std::string Bool(bool b) {
    return b ? "true" : "false";
}

// Raw UTF-8 bytes to stdout, untouched by any console code page.
void Print(const std::string& s) {
    std::string line = s + "\n";
    DWORD written = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
}

int Fail(const std::string& what) {
    Print("{\"error\": " + Quote(Wide(what.c_str())) + "}");
    return 1;
}

}  // namespace inspect
