#include "modem/replies.h"

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::optional<std::string> ExtractQueryValue(std::string_view reply) {
    std::size_t colon = reply.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = reply.substr(colon + 1);
    std::size_t begin = 0;
    while (begin < rest.size() && IsWhiteSpace(rest[begin])) {
        ++begin;
    }
    rest = rest.substr(begin);
    std::size_t cr = rest.find('\r');
    if (cr == std::string_view::npos) {
        return std::nullopt;
    }
    rest = rest.substr(0, cr);
    while (!rest.empty() && IsWhiteSpace(rest.back())) {
        rest.remove_suffix(1);
    }
    return std::string(rest);
}

std::string StripEnclosingQuotes(std::string value) {
    if (!value.empty() && value.front() == '"' && value.back() == '"') {
        value.pop_back();
        if (!value.empty()) {
            value.erase(0, 1);
        }
    }
    return value;
}

bool IsMakerValue(std::string_view value) {
    return value.find("ORVA") != std::string_view::npos;
}

bool IsCallWaitingReplyOk(std::string_view reply) {
    std::size_t ok = reply.find("OK");
    return ok != std::string_view::npos && ok >= 1;
}

std::string KeepDigits(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    return digits;
}

bool IsGermanCountryValue(std::string_view value) {
    std::string digits = KeepDigits(value);
    return digits.find("04") != std::string::npos || digits.find("42") != std::string::npos ||
           digits == "4";
}

bool IsSupportedModelName(std::string_view name) {
    return name.find("ORVA 56k") != std::string_view::npos;
}
