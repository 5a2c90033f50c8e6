#include "platform/memory/memory_registry.h"

#include <algorithm>
#include <cstring>

namespace {

std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

const char* RootPrefix(RegRoot root) {
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

std::string ValueKey(const char* name) {
    return Lower(name != nullptr ? name : "");
}

}  // namespace

struct CMemoryRegistry::Node {
    std::string name;      // as first created
    std::string fullPath;  // normalised, for the fault tables
    bool deleted = false;
    std::map<std::string, std::shared_ptr<Node>> children;                 // by lower-case name
    std::map<std::string, std::pair<std::string, RegStoredValue>> values;  // lower-case name
};

CMemoryRegistry::CMemoryRegistry() {
    for (RegRoot root : {RegRoot::kLocalMachine, RegRoot::kCurrentUser, RegRoot::kClassesRoot}) {
        auto node = std::make_shared<Node>();
        node->name = RootPrefix(root);
        node->fullPath = RootPrefix(root);
        m_roots[root] = node;
    }
}

CMemoryRegistry::~CMemoryRegistry() = default;

// Splits a key path into its names. One or more trailing backslashes are ignored; an empty
// name anywhere else (a leading or doubled backslash) makes the path invalid.
bool CMemoryRegistry::SplitPath(const std::string& path, std::vector<std::string>* parts) {
    parts->clear();
    std::string trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '\\') {
        trimmed.pop_back();
    }
    if (trimmed.empty()) {
        return path.empty();
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t end = trimmed.find('\\', start);
        std::string part = trimmed.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty()) {
            return false;
        }
        parts->push_back(part);
        if (end == std::string::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::string CMemoryRegistry::Normalise(RegRoot root, const std::string& path) {
    std::vector<std::string> parts;
    std::string normal = RootPrefix(root);
    if (!SplitPath(path, &parts)) {
        normal += "\\<invalid>\\";
        normal += Lower(path);
        return normal;
    }
    for (const std::string& part : parts) {
        normal += '\\';
        normal += Lower(part);
    }
    return normal;
}

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::Find(RegRoot root,
                                                             const std::string& path) const {
    std::vector<std::string> parts;
    if (!SplitPath(path, &parts)) {
        return nullptr;
    }
    std::shared_ptr<Node> node = m_roots.at(root);
    for (const std::string& part : parts) {
        auto it = node->children.find(Lower(part));
        if (it == node->children.end()) {
            return nullptr;
        }
        node = it->second;
    }
    return node;
}

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::FindOrCreate(RegRoot root,
                                                                     const std::string& path) {
    std::vector<std::string> parts;
    if (!SplitPath(path, &parts)) {
        return nullptr;
    }
    std::shared_ptr<Node> node = m_roots.at(root);
    for (const std::string& part : parts) {
        std::shared_ptr<Node>& child = node->children[Lower(part)];
        if (!child) {
            child = std::make_shared<Node>();
            child->name = part;
            child->fullPath = node->fullPath + "\\" + Lower(part);
        }
        node = child;
    }
    return node;
}

const CMemoryRegistry::Handle* CMemoryRegistry::Lookup(RegKey key) const {
    auto it = m_handles.find(key);
    return it == m_handles.end() ? nullptr : &it->second;
}

RegKey CMemoryRegistry::NewHandle(std::shared_ptr<Node> node, std::uint32_t access) {
    RegKey key = m_nextHandle;
    m_nextHandle += 4;  // never reused, so a stale handle is always recognised
    m_handles[key] = Handle{std::move(node), access};
    return key;
}

void CMemoryRegistry::Log(RegOpenRecord::Kind kind, RegRoot root, const char* path,
                          std::uint32_t access, long result) {
    m_openLog.push_back(RegOpenRecord{kind, root, path != nullptr ? path : "", access, result});
}

long CMemoryRegistry::OpenKey(RegRoot root, const char* path, std::uint32_t access, RegKey* key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    if (key == nullptr) {
        return reg::kInvalidParameter;
    }
    *key = 0;
    const std::string text = path != nullptr ? path : "";
    long result = reg::kSuccess;
    std::shared_ptr<Node> node = Find(root, text);
    if (!node) {
        result = reg::kFileNotFound;
    } else if (m_denyOpen.count(node->fullPath) != 0) {
        result = reg::kAccessDenied;
    } else if (m_denyWrite.count(node->fullPath) != 0 && (access & ~reg::kQueryValue) != 0) {
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
    std::vector<std::string> parts;
    long result = reg::kSuccess;
    if (!SplitPath(text, &parts)) {
        result = reg::kBadPathname;
    } else {
        // The deepest existing key decides: opening it with full access, or creating a subkey
        // below it, needs write access to it.
        std::shared_ptr<Node> node = m_roots.at(root);
        for (const std::string& part : parts) {
            auto it = node->children.find(Lower(part));
            if (it == node->children.end()) {
                break;
            }
            node = it->second;
        }
        const std::string target = Normalise(root, text);
        if (m_denyOpen.count(node->fullPath) != 0 || m_denyWrite.count(node->fullPath) != 0 ||
            m_denyOpen.count(target) != 0 || m_denyWrite.count(target) != 0) {
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
    const Handle* handle = Lookup(key);
    if (handle == nullptr) {
        return reg::kInvalidHandle;
    }
    if (handle->node->deleted) {
        return reg::kKeyDeleted;
    }
    if ((handle->access & reg::kQueryValue) == 0) {
        return reg::kAccessDenied;
    }
    if (data != nullptr && size == nullptr) {
        return reg::kInvalidParameter;
    }
    auto it = handle->node->values.find(ValueKey(name));
    if (it == handle->node->values.end()) {
        return reg::kFileNotFound;
    }
    const std::vector<std::uint8_t>& bytes = it->second.second.bytes;
    const auto stored = static_cast<std::uint32_t>(bytes.size());
    if (size == nullptr) {
        return reg::kSuccess;  // only asked whether the value exists
    }
    if (data == nullptr) {
        *size = stored;
        return reg::kSuccess;
    }
    if (stored > *size) {
        *size = stored;
        return reg::kMoreData;
    }
    if (stored != 0) {
        std::memcpy(data, bytes.data(), stored);
    }
    *size = stored;
    return reg::kSuccess;
}

long CMemoryRegistry::SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                               std::uint32_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    const Handle* handle = Lookup(key);
    if (handle == nullptr) {
        return reg::kInvalidHandle;
    }
    if (handle->node->deleted) {
        return reg::kKeyDeleted;
    }
    if ((handle->access & reg::kSetValue) == 0) {
        return reg::kAccessDenied;
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
    auto it = handle->node->values.find(valueKey);
    if (it != handle->node->values.end()) {
        it->second.second = std::move(value);  // keeps the name's first spelling
    } else {
        handle->node->values[valueKey] = {name != nullptr ? name : "", std::move(value)};
    }
    return reg::kSuccess;
}

long CMemoryRegistry::DeleteValue(RegKey key, const char* name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    const Handle* handle = Lookup(key);
    if (handle == nullptr) {
        return reg::kInvalidHandle;
    }
    if (handle->node->deleted) {
        return reg::kKeyDeleted;
    }
    if ((handle->access & reg::kSetValue) == 0) {
        return reg::kAccessDenied;
    }
    return handle->node->values.erase(ValueKey(name)) != 0 ? reg::kSuccess : reg::kFileNotFound;
}

long CMemoryRegistry::QueryDefault(RegKey key, const char* subKey, char* buf, long* size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    const Handle* handle = Lookup(key);
    if (handle == nullptr) {
        return reg::kInvalidHandle;
    }
    std::shared_ptr<Node> node = handle->node;
    if (node->deleted) {
        return reg::kKeyDeleted;
    }
    if (subKey != nullptr && subKey[0] != '\0') {
        std::vector<std::string> parts;
        if (!SplitPath(subKey, &parts)) {
            return reg::kFileNotFound;
        }
        for (const std::string& part : parts) {
            auto it = node->children.find(Lower(part));
            if (it == node->children.end()) {
                return reg::kFileNotFound;
            }
            node = it->second;
        }
        // The subkey is opened for query on the caller's behalf.
        if (m_denyOpen.count(node->fullPath) != 0) {
            return reg::kAccessDenied;
        }
    } else if ((handle->access & reg::kQueryValue) == 0) {
        return reg::kAccessDenied;
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
    const long needed = static_cast<long>(text.size()) + 1;
    if (size == nullptr) {
        return reg::kSuccess;
    }
    if (buf == nullptr) {
        *size = needed;
        return reg::kSuccess;
    }
    if (needed > *size) {
        *size = needed;
        return reg::kMoreData;
    }
    std::memcpy(buf, text.c_str(), static_cast<std::size_t>(needed));
    *size = needed;
    return reg::kSuccess;
}

long CMemoryRegistry::CloseKey(RegKey key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCalls;
    return m_handles.erase(key) != 0 ? reg::kSuccess : reg::kInvalidHandle;
}

void CMemoryRegistry::AddKey(RegRoot root, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    FindOrCreate(root, path);
}

void CMemoryRegistry::SetString(RegRoot root, const std::string& path, const std::string& name,
                                const std::string& text, bool withNul) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (withNul) {
        bytes.push_back(0);
    }
    SetRaw(root, path, name, reg::kSz, bytes);
}

void CMemoryRegistry::SetDword(RegRoot root, const std::string& path, const std::string& name,
                               std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));  // little-endian, as stored
    }
    SetRaw(root, path, name, reg::kDword, bytes);
}

void CMemoryRegistry::SetRaw(RegRoot root, const std::string& path, const std::string& name,
                             std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::shared_ptr<Node> node = FindOrCreate(root, path);
    if (!node) {
        return;
    }
    auto& entry = node->values[Lower(name)];
    if (entry.first.empty()) {
        entry.first = name;
    }
    entry.second = RegStoredValue{type, bytes};
}

void CMemoryRegistry::DeleteKey(RegRoot root, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> parts;
    if (!SplitPath(path, &parts) || parts.empty()) {
        return;  // the roots themselves stay
    }
    const std::string leaf = Lower(parts.back());
    parts.pop_back();
    std::shared_ptr<Node> parent = m_roots.at(root);
    for (const std::string& part : parts) {
        auto it = parent->children.find(Lower(part));
        if (it == parent->children.end()) {
            return;
        }
        parent = it->second;
    }
    auto it = parent->children.find(leaf);
    if (it == parent->children.end()) {
        return;
    }
    std::vector<std::shared_ptr<Node>> pending{it->second};
    while (!pending.empty()) {
        std::shared_ptr<Node> node = pending.back();
        pending.pop_back();
        node->deleted = true;
        for (auto& child : node->children) {
            pending.push_back(child.second);
        }
    }
    parent->children.erase(it);
}

void CMemoryRegistry::DeleteValue(RegRoot root, const std::string& path, const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::shared_ptr<Node> node = Find(root, path);
    if (node) {
        node->values.erase(Lower(name));
    }
}

bool CMemoryRegistry::HasKey(RegRoot root, const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Find(root, path) != nullptr;
}

std::optional<RegStoredValue> CMemoryRegistry::GetValue(RegRoot root, const std::string& path,
                                                        const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::shared_ptr<Node> node = Find(root, path);
    if (!node) {
        return std::nullopt;
    }
    auto it = node->values.find(Lower(name));
    if (it == node->values.end()) {
        return std::nullopt;
    }
    return it->second.second;
}

std::optional<std::string> CMemoryRegistry::GetString(RegRoot root, const std::string& path,
                                                      const std::string& name) const {
    std::optional<RegStoredValue> value = GetValue(root, path, name);
    if (!value) {
        return std::nullopt;
    }
    auto end = std::find(value->bytes.begin(), value->bytes.end(), std::uint8_t{0});
    return std::string(value->bytes.begin(), end);
}

std::vector<std::string> CMemoryRegistry::GetValueNames(RegRoot root,
                                                        const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> names;
    std::shared_ptr<Node> node = Find(root, path);
    if (node) {
        for (const auto& entry : node->values) {
            names.push_back(entry.second.first);
        }
    }
    return names;
}

void CMemoryRegistry::DenyWrite(RegRoot root, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_denyWrite.insert(Normalise(root, path));
}

void CMemoryRegistry::DenyOpen(RegRoot root, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_denyOpen.insert(Normalise(root, path));
}

void CMemoryRegistry::FailSetValue(RegRoot root, const std::string& path, const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failSetValue.insert({Normalise(root, path), Lower(name)});
}

void CMemoryRegistry::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_denyWrite.clear();
    m_denyOpen.clear();
    m_failSetValue.clear();
}

int CMemoryRegistry::GetOpenKeyCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_handles.size());
}

int CMemoryRegistry::GetCallCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nCalls;
}

std::vector<RegOpenRecord> CMemoryRegistry::GetOpenLog() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openLog;
}
