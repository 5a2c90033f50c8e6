// IDebugLog that keeps every line, so tests can check exactly what was logged.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/services.h"

class CCaptureLog : public IDebugLog {
public:
    void Write(const char* line) override;

    std::vector<std::string> GetLines() const;
    // How often exactly this line (line feed included) was written.
    int Count(const std::string& line) const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};
