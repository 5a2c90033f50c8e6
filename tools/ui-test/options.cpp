// The command line of mavris-uitest.
#include <cstdlib>
#include <cstring>

#include "uitest.h"

namespace uitest {

bool ParseNumber(const char* psz, long long nMin, long long nMax, long long* pValue) {
    char* pEnd = nullptr;
    const long long n = std::strtoll(psz, &pEnd, 10);
    if (pEnd == psz || *pEnd != '\0' || n < nMin || n > nMax) {
        return false;
    }
    *pValue = n;
    return true;
}

bool ParseOptions(int argc, char** argv, Options* pOptions, std::string* pError) {
    if (argc < 2) {
        *pError = "no mode";
        return false;
    }
    pOptions->mode = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&](const char** ppsz) {
            if (i + 1 >= argc) {
                *pError = "missing value of " + option;
                return false;
            }
            *ppsz = argv[++i];
            return true;
        };
        const char* psz = nullptr;
        long long n = 0;
        if (option == "--out") {
            if (!value(&psz)) {
                return false;
            }
            g_out.OpenFile(psz);
            if (!g_out.HasFile()) {
                *pError = std::string("cannot open ") + psz;
                return false;
            }
        } else if (option == "--timeout") {
            if (!value(&psz) || !ParseNumber(psz, 1, 86400000, &n)) {
                *pError = "bad --timeout";
                return false;
            }
            pOptions->nTimeoutMs = static_cast<DWORD>(n);
        } else if (option == "--escape-filter") {
            pOptions->bEscapeFilter = true;
        } else if (option == "--repeat" || option == "--runs") {
            if (!value(&psz) || !ParseNumber(psz, 1, 1000, &n)) {
                *pError = "bad " + option;
                return false;
            }
            pOptions->nRepeat = static_cast<int>(n);
        } else if (option == "--link-print") {
            pOptions->bLinkPrint = true;
        } else if (option == "--location-prefix") {
            if (!value(&psz)) {
                return false;
            }
            pOptions->bLocationPrefix = true;
            pOptions->locationPrefix = psz;
        } else if (option == "--no-location") {
            pOptions->bNoLocation = true;
        } else if (option == "--callout") {
            if (!value(&psz)) {
                return false;
            }
            pOptions->callOut = psz;
            if (pOptions->callOut != "0" && pOptions->callOut != "1" &&
                pOptions->callOut != "none") {
                *pError = "bad --callout";
                return false;
            }
        } else if (option == "--stored-prefix") {
            if (!value(&psz)) {
                return false;
            }
            pOptions->bStoredPrefix = true;
            pOptions->storedPrefix = psz;
        } else if (option == "--close-after") {
            if (!value(&psz) || !ParseNumber(psz, 0, 3600000, &n)) {
                *pError = "bad --close-after";
                return false;
            }
            pOptions->nCloseAfterMs = static_cast<DWORD>(n);
        } else if (option == "--send") {
            if (!value(&psz)) {
                return false;
            }
            std::string list = psz;
            std::size_t nStart = 0;
            while (nStart <= list.size()) {
                const std::size_t nComma = list.find(',', nStart);
                const std::string event =
                    list.substr(nStart, nComma == std::string::npos ? nComma : nComma - nStart);
                static const char* const kEvents[] = {"lclick", "rdown",   "rup", "dblclk",
                                                      "move",   "taskbar", "exit"};
                bool bKnown = false;
                for (const char* pszEvent : kEvents) {
                    bKnown = bKnown || event == pszEvent;
                }
                if (!bKnown) {
                    *pError = "unknown event " + event;
                    return false;
                }
                pOptions->sendEvents.push_back(event);
                if (nComma == std::string::npos) {
                    break;
                }
                nStart = nComma + 1;
            }
        } else {
            *pError = "unknown option " + option;
            return false;
        }
    }
    return true;
}

}  // namespace uitest
