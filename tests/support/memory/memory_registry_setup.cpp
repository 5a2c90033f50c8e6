// CMemoryRegistry: set-up and inspection for tests, fault injection and the call counters.
// None of these count as calls or are subject to the faults.
#include <algorithm>

#include "support/memory/memory_registry.h"
#include "support/memory/memory_registry_node.h"

using memreg::Lower;

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
    std::vector<std::string_view> parts;
    if (!SplitPath(path, &parts) || parts.empty()) {
        return;  // the roots themselves stay
    }
    const std::string_view leaf = parts.back();
    parts.pop_back();
    bool complete = false;
    std::shared_ptr<Node> parent = memreg::Descend(m_roots.at(root), parts, &complete);
    if (!complete) {
        return;
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

bool CMemoryRegistry::IsWrittenWide(RegRoot root, const std::string& path,
                                    const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_wideValues.count({Normalise(root, path), Lower(name)}) != 0;
}

void CMemoryRegistry::FailSetValue(RegRoot root, const std::string& path, const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failSetValue.insert({Normalise(root, path), Lower(name)});
}

void CMemoryRegistry::FailEnumKey(RegRoot root, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failEnumKey.insert(Normalise(root, path));
}

void CMemoryRegistry::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_denyWrite.clear();
    m_denyOpen.clear();
    m_failSetValue.clear();
    m_failEnumKey.clear();
}

void CMemoryRegistry::SetStandardUser(bool bOn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStandardUser = bOn;
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
