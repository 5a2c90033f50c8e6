// CMemoryRegistry: the key tree, key paths and handles. The IRegistry calls are in
// memory_registry_calls.cpp, the test set-up, inspection and faults in memory_registry_setup.cpp.
#include "platform/memory/memory_registry.h"

#include "platform/memory/memory_registry_node.h"

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
    bool complete = false;
    std::shared_ptr<Node> node = memreg::Descend(m_roots.at(root), parts, &complete);
    return complete ? node : nullptr;
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
