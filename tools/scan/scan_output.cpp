#include "scan/scan_output.h"

#include "modem/modem_list.h"

std::string EscapeField(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 0x0F];
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

void PrintCountryWarning(std::FILE* out, int nIndex, const std::string& name) {
    std::fprintf(out, "warning\t%d\t%s\n", nIndex, EscapeField(name).c_str());
    // Whoever watches the scan sees the warning while the next modem is still being probed.
    std::fflush(out);
}

void PrintModemList(std::FILE* out, const CModemList& list) {
    for (int i = 0; i < list.GetCount(); ++i) {
        const ModemInfo* pModem = list.GetAt(i);
        std::fprintf(out, "modem\t%d\t%s\t%d\t%s\n", i, EscapeField(pModem->GetName()).c_str(),
                     pModem->GetKeyIndex(), EscapeField(pModem->GetUserInit()).c_str());
    }
    std::fprintf(out, "count\t%d\n", list.GetCount());
    std::fflush(out);
}
