// Internals shared by the files of CMemoryRegistry: the key node and small helpers for
// names and for handing stored bytes back the way the Win32 calls do.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/memory/memory_registry.h"

namespace memreg {

inline char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = LowerChar(c);
    }
    return lower;
}

// Orders names as the registry compares them, ignoring ASCII case; transparent, so that a
// look-up by a part of a path needs no lower-case copy of it.
struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        const std::size_t n = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < n; ++i) {
            const char x = LowerChar(a[i]);
            const char y = LowerChar(b[i]);
            if (x != y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            }
        }
        return a.size() < b.size();
    }
};

inline const char* RootPrefix(RegRoot root) {
    switch (root) {
        case RegRoot::kLocalMachine:
            return "hklm";
        case RegRoot::kCurrentUser:
            return "hkcu";
        case RegRoot::kClassesRoot:
            return "hkcr";
    }
    return "?";
}

// One byte for each character of the UTF-8 text: ASCII as it is, every other letter '?'.
inline std::vector<std::uint8_t> Utf8ToSingleByte(const std::vector<std::uint8_t>& utf8) {
    std::vector<std::uint8_t> ansi;
    for (std::uint8_t c : utf8) {
        if (c < 0x80) {
            ansi.push_back(c);
        } else if ((c & 0xC0) != 0x80) {
            ansi.push_back('?');
        }
    }
    return ansi;
}

inline std::string ValueKey(const char* name) {
    return Lower(name != nullptr ? name : "");
}

// Copies stored bytes out like RegQueryValueEx: without a size only existence is reported,
// without a buffer only the size needed, and a buffer too small gets kMoreData and the size.
template <typename Size>
long CopyOut(const void* stored, Size storedSize, void* data, Size* size) {
    if (size == nullptr) {
        return reg::kSuccess;
    }
    if (data == nullptr) {
        *size = storedSize;
        return reg::kSuccess;
    }
    if (storedSize > *size) {
        *size = storedSize;
        return reg::kMoreData;
    }
    if (storedSize != 0) {
        std::memcpy(data, stored, static_cast<std::size_t>(storedSize));
    }
    *size = storedSize;
    return reg::kSuccess;
}

}  // namespace memreg

struct CMemoryRegistry::Node {
    std::string name;      // as first created
    std::string fullPath;  // normalised, for the fault tables
    bool deleted = false;
    std::map<std::string, std::shared_ptr<Node>, memreg::NameLess> children;  // lower-case name
    std::map<std::string, std::pair<std::string, RegStoredValue>> values;     // lower-case name
};

namespace memreg {

// Follows the names down from a key as far as they exist and returns the deepest key
// reached; *complete says whether every name was found.
template <typename NodePtr>
NodePtr Descend(NodePtr node, const std::vector<std::string_view>& parts, bool* complete) {
    for (std::string_view part : parts) {
        auto it = node->children.find(part);
        if (it == node->children.end()) {
            *complete = false;
            return node;
        }
        node = it->second;
    }
    *complete = true;
    return node;
}

}  // namespace memreg
