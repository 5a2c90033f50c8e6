#pragma once

#include <exception>

// The one failure that low-level operations throw: it carries no message, callers only tell
// a thrown failure from a returned result.
class CUserException : public std::exception {
public:
    const char* what() const noexcept override { return "CUserException"; }
};
