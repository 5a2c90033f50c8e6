// The outside-line prefix that the modem dials before the provider's service code.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest prefix that fits into the dial command together with the longest speaker part.
inline constexpr std::size_t kMaxOutsideLineLength = 237;

// Only digits, ',' (pause) and 'W'/'w' (wait for dial tone) may reach the modem: anything else
// could end the dial command early or add commands of its own.
inline bool IsOutsideLineChar(char c) {
    return (c >= '0' && c <= '9') || c == ',' || c == 'W' || c == 'w';
}

inline std::string FilterOutsideLine(std::string_view text) {
    std::string kept;
    for (char c : text) {
        if (IsOutsideLineChar(c)) {
            kept += c;
        }
    }
    return kept;
}
