// Texts that leave the program through the wide-character API travel through the portable
// core as UTF-8: a path such as C:\Users\Łukasz\ survives whatever the ANSI code page is.
#pragma once

#include <cstddef>
#include <string_view>

// How many UTF-16 units (Windows' characters, as MAX_PATH counts them) the UTF-8 text takes:
// one for each sequence, two for one of four bytes.
inline std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) {  // not a continuation byte: a character starts
            units += c >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}
