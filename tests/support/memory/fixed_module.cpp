#include "support/memory/fixed_module.h"

#include <cstring>

std::uint32_t CFixedModule::GetFileName(char* buffer, std::uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    const auto length = static_cast<std::uint32_t>(m_strPath.size());
    if (length < size) {
        std::memcpy(buffer, m_strPath.c_str(), length + 1);
        return length;
    }
    std::memcpy(buffer, m_strPath.data(), size - 1);
    buffer[size - 1] = '\0';
    return size;
}
