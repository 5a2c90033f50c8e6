// CMemoryRegistry: the IRegistry calls, with the results the Win32 registry gives.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "support/memory/memory_registry.h"
#include "support/memory/memory_registry_node.h"

using memreg::Lower;
using memreg::ValueKey;

namespace {

// What a key that may not be written still opens with: a standard user's KEY_READ, and the
// choice of the registry view, which is no right.
constexpr std::uint32_t kReadRights = reg::kQueryValue | reg::kEnumerateSubKeys | reg::kWow64_64Key;

}  // namespace

long CMemoryRegistry::OpenKey(RegRoot root, const char* path, std::uint32_t access, RegKey* key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    if (key == nullptr) {
        return reg::kInvalidParameter;
    }
    *key = 0;
    const std::string_view text = path != nullptr ? path : "";
    long result = reg::kSuccess;
    std::shared_ptr<Node> node = Find(root, text);
    if (!node) {
        result = reg::kFileNotFound;
    } else if (m_denyOpen.count(node->fullPath) != 0) {
        result = reg::kAccessDenied;
    } else if ((m_denyWrite.count(node->fullPath) != 0 ||
                (m_bStandardUser && root == RegRoot::kLocalMachine)) &&
               (access & ~kReadRights) != 0) {
        result = reg::kAccessDenied;
    } else {
        *key = NewHandle(node, access);
    }
    Log(RegOpenRecord::Kind::kOpen, root, path, access, result);
    return result;
}

long CMemoryRegistry::CreateKey(RegRoot root, const char* path, RegKey* key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    if (key == nullptr) {
        return reg::kInvalidParameter;
    }
    *key = 0;
    const std::string text = path != nullptr ? path : "";
    std::vector<std::string_view> parts;
    long result = reg::kSuccess;
    if (!SplitPath(text, &parts)) {
        result = reg::kBadPathname;
    } else {
        // The deepest existing key decides: opening it with full access, or creating a subkey
        // below it, needs write access to it.
        bool complete = false;
        std::shared_ptr<Node> node = memreg::Descend(m_roots.at(root), parts, &complete);
        const std::string target = Normalise(root, text);
        if (m_denyOpen.count(node->fullPath) != 0 || m_denyWrite.count(node->fullPath) != 0 ||
            m_denyOpen.count(target) != 0 || m_denyWrite.count(target) != 0 ||
            (m_bStandardUser && root == RegRoot::kLocalMachine)) {
            result = reg::kAccessDenied;
        } else {
            *key = NewHandle(FindOrCreate(root, text), reg::kAllAccess);
        }
    }
    Log(RegOpenRecord::Kind::kCreate, root, path, reg::kAllAccess, result);
    return result;
}

long CMemoryRegistry::QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    const Handle* handle = nullptr;
    if (long result = CheckHandle(key, reg::kQueryValue, &handle); result != reg::kSuccess) {
        return result;
    }
    if (data != nullptr && size == nullptr) {
        return reg::kInvalidParameter;
    }
    auto it = handle->node->values.find(ValueKey(name));
    if (it == handle->node->values.end()) {
        return reg::kFileNotFound;
    }
    const std::vector<std::uint8_t>& bytes = it->second.second.bytes;
    if (m_wideValues.count({handle->node->fullPath, ValueKey(name)}) != 0) {
        // Written wide, read through the ANSI call: Windows converts the text to the ANSI
        // code page, here a single-byte one without the letters beyond ASCII.
        const std::vector<std::uint8_t> ansi = memreg::Utf8ToSingleByte(bytes);
        return memreg::CopyOut(ansi.data(), static_cast<std::uint32_t>(ansi.size()), data, size);
    }
    return memreg::CopyOut(bytes.data(), static_cast<std::uint32_t>(bytes.size()), data, size);
}

long CMemoryRegistry::SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                               std::uint32_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    const Handle* handle = nullptr;
    if (long result = CheckHandle(key, reg::kSetValue, &handle); result != reg::kSuccess) {
        return result;
    }
    if (data == nullptr && size != 0) {
        return reg::kInvalidParameter;
    }
    const std::string valueKey = ValueKey(name);
    if (m_failSetValue.count({handle->node->fullPath, valueKey}) != 0) {
        return reg::kWriteFault;
    }
    RegStoredValue value;
    value.type = type;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    value.bytes.assign(bytes, bytes + size);
    m_wideValues.erase({handle->node->fullPath, valueKey});
    auto it = handle->node->values.find(valueKey);
    if (it != handle->node->values.end()) {
        it->second.second = std::move(value);  // keeps the name's first spelling
    } else {
        handle->node->values[valueKey] = {name != nullptr ? name : "", std::move(value)};
    }
    return reg::kSuccess;
}

long CMemoryRegistry::SetTextValue(RegKey key, const char* name, const std::string& utf8) {
    const long result =
        SetValue(key, name, reg::kSz, utf8.c_str(), static_cast<std::uint32_t>(utf8.size() + 1));
    if (result == reg::kSuccess) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_wideValues.insert({Lookup(key)->node->fullPath, ValueKey(name)});
    }
    return result;
}

long CMemoryRegistry::DeleteValue(RegKey key, const char* name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    const Handle* handle = nullptr;
    if (long result = CheckHandle(key, reg::kSetValue, &handle); result != reg::kSuccess) {
        return result;
    }
    return handle->node->values.erase(ValueKey(name)) != 0 ? reg::kSuccess : reg::kFileNotFound;
}

long CMemoryRegistry::QueryDefault(RegKey key, const char* subKey, char* buf, long* size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    const bool hasSubKey = subKey != nullptr && subKey[0] != '\0';
    // Read through a subkey, only that subkey's own faults count (it is opened for query on
    // the caller's behalf); read from the key itself, the handle must allow queries.
    const Handle* handle = nullptr;
    const std::uint32_t needed = hasSubKey ? 0 : reg::kQueryValue;
    if (long result = CheckHandle(key, needed, &handle); result != reg::kSuccess) {
        return result;
    }
    std::shared_ptr<Node> node = handle->node;
    if (hasSubKey) {
        std::vector<std::string_view> parts;
        if (!SplitPath(subKey, &parts)) {
            return reg::kFileNotFound;
        }
        bool complete = false;
        node = memreg::Descend(node, parts, &complete);
        if (!complete) {
            return reg::kFileNotFound;
        }
        if (m_denyOpen.count(node->fullPath) != 0) {
            return reg::kAccessDenied;
        }
    }
    if (buf != nullptr && size == nullptr) {
        return reg::kInvalidParameter;
    }
    // An unset default value reads as the empty text.
    std::string text;
    auto it = node->values.find("");
    if (it != node->values.end()) {
        const std::vector<std::uint8_t>& bytes = it->second.second.bytes;
        auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
        text.assign(bytes.begin(), end);
    }
    return memreg::CopyOut(text.c_str(), static_cast<long>(text.size()) + 1, buf, size);
}

long CMemoryRegistry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    const Handle* handle = nullptr;
    if (long result = CheckHandle(key, reg::kEnumerateSubKeys, &handle); result != reg::kSuccess) {
        return result;
    }
    if (size == nullptr) {
        return reg::kInvalidParameter;
    }
    if (m_failEnumKey.count(handle->node->fullPath) != 0) {
        return reg::kAccessDenied;
    }
    const auto& children = handle->node->children;
    if (index >= children.size()) {
        return reg::kNoMoreItems;
    }
    const std::string& child = std::next(children.begin(), index)->second->name;
    if (name == nullptr || child.size() >= *size) {
        return reg::kMoreData;
    }
    std::memcpy(name, child.c_str(), child.size() + 1);
    *size = static_cast<std::uint32_t>(child.size());
    return reg::kSuccess;
}

long CMemoryRegistry::CloseKey(RegKey key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    return m_handles.erase(key) != 0 ? reg::kSuccess : reg::kInvalidHandle;
}
