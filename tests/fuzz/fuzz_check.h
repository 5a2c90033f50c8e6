// What the fuzz targets share: a property check that stops the run with the property that
// failed (libFuzzer then keeps the input as a crash artifact), and small readers of raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// A registry text as the tool reads it: the bytes up to the first NUL, when they fit into the
// 255 bytes that a value may have; nothing when the value is larger.
inline bool FitsValueBuffer(std::string_view bytes) {
    return bytes.size() <= 255;
}
inline std::string TextUpToNul(std::string_view bytes) {
    return std::string(bytes.substr(0, bytes.find('\0')));
}

}  // namespace fuzz
