#include "support/memory/capture_log.h"

#include <algorithm>

void CCaptureLog::Write(const char* line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.emplace_back(line != nullptr ? line : "");
}

std::vector<std::string> CCaptureLog::GetLines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

int CCaptureLog::Count(const std::string& line) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count(m_lines.begin(), m_lines.end(), line));
}

void CCaptureLog::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}
