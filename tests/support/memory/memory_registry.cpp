// CMemoryRegistry: the key tree, key paths and handles. The IRegistry calls are in
// memory_registry_calls.cpp, the test set-up, inspection and faults in memory_registry_setup.cpp.
#include "support/memory/memory_registry.h"

#include "support/memory/memory_registry_node.h"

using memreg::Lower;
using memreg::RootPrefix;

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
bool CMemoryRegistry::SplitPath(std::string_view path, std::vector<std::string_view>* parts) {
    parts->clear();
    std::string_view trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '\\') {
        trimmed.remove_suffix(1);
    }
    if (trimmed.empty()) {
        return path.empty();
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t end = trimmed.find('\\', start);
        std::string_view part =
            trimmed.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty()) {
            return false;
        }
        parts->push_back(part);
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::string CMemoryRegistry::Normalise(RegRoot root, std::string_view path) {
    std::vector<std::string_view> parts;
    std::string normal = RootPrefix(root);
    if (!SplitPath(path, &parts)) {
        normal += "\\<invalid>\\";
        normal += Lower(path);
        return normal;
    }
    for (std::string_view part : parts) {
        normal += '\\';
        normal += Lower(part);
    }
    return normal;
}

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::Find(RegRoot root,
                                                             std::string_view path) const {
    std::vector<std::string_view> parts;
    if (!SplitPath(path, &parts)) {
        return nullptr;
    }
    bool complete = false;
    std::shared_ptr<Node> node = memreg::Descend(m_roots.at(root), parts, &complete);
    return complete ? node : nullptr;
}

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::FindOrCreate(RegRoot root,
                                                                     std::string_view path) {
    std::vector<std::string_view> parts;
    if (!SplitPath(path, &parts)) {
        return nullptr;
    }
    std::shared_ptr<Node> node = m_roots.at(root);
    for (std::string_view part : parts) {
        auto it = node->children.find(part);
        if (it == node->children.end()) {
            std::string lower = Lower(part);
            auto child = std::make_shared<Node>();
            child->name = part;
            child->fullPath = node->fullPath + "\\" + lower;
            it = node->children.emplace(std::move(lower), std::move(child)).first;
        }
        node = it->second;
    }
    return node;
}

const CMemoryRegistry::Handle* CMemoryRegistry::Lookup(RegKey key) const {
    auto it = m_handles.find(key);
    return it == m_handles.end() ? nullptr : &it->second;
}

long CMemoryRegistry::CheckHandle(RegKey key, std::uint32_t needed, const Handle** handle) const {
    *handle = Lookup(key);
    if (*handle == nullptr) {
        return reg::kInvalidHandle;
    }
    if ((*handle)->node->deleted) {
        return reg::kKeyDeleted;
    }
    if (((*handle)->access & needed) != needed) {
        return reg::kAccessDenied;
    }
    return reg::kSuccess;
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
