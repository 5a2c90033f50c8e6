// CFixedModule: the program's own path, given rather than asked of the system, for tests and
// for runs that must not depend on where the executable lies.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/services.h"

class CFixedModule : public IModule {
public:
    explicit CFixedModule(std::string path) : m_strPath(std::move(path)) {}

    void SetPath(std::string path) { m_strPath = std::move(path); }
    const std::string& GetPath() const { return m_strPath; }

    std::string GetFilePath() override { return m_strPath; }

private:
    std::string m_strPath;
};
