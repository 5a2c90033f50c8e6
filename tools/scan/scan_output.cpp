#include "scan/scan_output.h"

#include "common/escape.h"
#include "modem/modem_list.h"

std::string EscapeField(std::string_view text) {
    // Bytes of 0x80 and up stay: they are the ANSI code page's letters of a model name.
    return escape::Escape(text, "\\x", [](unsigned char c) { return c < 0x20 || c == 0x7F; });
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
