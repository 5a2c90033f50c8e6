#include "platform/registry.h"

long RegQueryText(IRegistry& registry, RegKey key, const char* name, char* buf,
                  std::uint32_t capacity) {
    std::uint32_t size = capacity;
    return registry.QueryValue(key, name, buf, &size);
}

long RegQueryDword(IRegistry& registry, RegKey key, const char* name, std::uint32_t* value) {
    std::uint32_t size = sizeof(*value);
    return registry.QueryValue(key, name, value, &size);
}
