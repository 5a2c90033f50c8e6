// Internals shared by the files of CMemoryRegistry: the key node and small helpers for
// names and for handing stored bytes back the way the Win32 calls do.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory/memory_registry.h"

namespace memreg {

inline std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

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
    std::map<std::string, std::shared_ptr<Node>> children;                 // by lower-case name
    std::map<std::string, std::pair<std::string, RegStoredValue>> values;  // lower-case name
};

namespace memreg {

// Follows the names down from a key as far as they exist and returns the deepest key
// reached; *complete says whether every name was found.
template <typename NodePtr>
NodePtr Descend(NodePtr node, const std::vector<std::string>& parts, bool* complete) {
    for (const std::string& part : parts) {
        auto it = node->children.find(Lower(part));
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
