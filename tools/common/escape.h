// Text from outside (registry values, modem bytes, window texts) written so that it stays on
// one line and can forge nothing: tab, CR, LF and the backslash by name (\t, \r, \n, \\),
// every other byte the caller's rule picks as a hex escape, the rest as it is. The scan's
// fields, the simulator's log and ui-inspect's JSON strings differ only in that rule.
#pragma once

#include <string>
#include <string_view>

namespace escape {

// pszHexPrefix stands before the two hex digits ("\\x", or "\\u00" in JSON); bQuote writes
// '"' as \" (inside a JSON string).
inline std::string Escape(std::string_view text, const char* pszHexPrefix,
                          bool (*pfnAsHex)(unsigned char), bool bQuote = false) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 8);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '"' && bQuote) {
            out += "\\\"";
        } else if (pfnAsHex(c)) {
            out += pszHexPrefix;
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace escape
