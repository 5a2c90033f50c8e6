#include "modem/userinit_write_command.h"

#include <cstring>

#include "modem/modem_info.h"

namespace {

// A number in plain decimal of at most three digits: digits only, no leading zero.
bool ParseCanonicalNumber(const char* text, int* pValue) {
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > 3 || (length > 1 && text[0] == '0')) {
        return false;
    }
    int value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    *pValue = value;
    return true;
}

}  // namespace

bool IsUserInitWriteRequest(int argc, char** argv) {
    return argc >= 2 && argv[1] != nullptr && std::strcmp(argv[1], kUserInitWriteKeyword) == 0;
}

bool ParseUserInitWriteRequest(int argc, char** argv, UserInitWriteRequest* pRequest) {
    if (argc != 4 || !IsUserInitWriteRequest(argc, argv) || argv[2] == nullptr ||
        argv[3] == nullptr) {
        return false;
    }
    int nKeyIndex = 0;
    int nMode = 0;
    if (!ParseCanonicalNumber(argv[2], &nKeyIndex) || nKeyIndex >= kMaxModemKeys ||
        !ParseCanonicalNumber(argv[3], &nMode) || FindBehaviour(nMode) == nullptr) {
        return false;
    }
    *pRequest = UserInitWriteRequest{nKeyIndex, FindBehaviour(nMode)->behaviour};
    return true;
}

std::string BuildUserInitWriteParameters(int nKeyIndex, int nMode) {
    return std::string(kUserInitWriteKeyword) + " " + std::to_string(nKeyIndex) + " " +
           std::to_string(nMode);
}
