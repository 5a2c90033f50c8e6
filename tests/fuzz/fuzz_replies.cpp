// The judgements of modem replies, on any bytes a modem may send. The input is one raw reply as
// one read returned it. Beyond "no crash": Query's value has the shape it promises, framing a
// value the way modems do (echo on or off, CR LF doubled, trailing garbage) never changes what
// is extracted, a quoted model loses exactly its quotes, and the verdicts on maker, "+PCW" and
// country depend only on what their rules name.
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "modem/replies.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The value starts at the first non-blank character after the first ':', ends before the next
// CR, and only blanks stand between its end and that CR; without such a CR there is none.
void CheckQueryValueShape(std::string_view reply, const std::optional<std::string>& value) {
    const std::size_t colon = reply.find(':');
    if (colon == npos) {
        FUZZ_CHECK(!value);
        return;
    }
    std::size_t start = colon + 1;
    while (start < reply.size() && IsBlank(reply[start])) {
        ++start;
    }
    const std::size_t cr = reply.find('\r', start);
    FUZZ_CHECK(value.has_value() == (cr != npos));
    if (!value) {
        return;
    }
    FUZZ_CHECK(!value->empty() && reply.substr(start, value->size()) == *value);
    FUZZ_CHECK(value->find('\r') == npos);
    FUZZ_CHECK(!IsBlank(value->front()) && !IsBlank(value->back()));
    for (std::size_t i = start + value->size(); i < cr; ++i) {
        FUZZ_CHECK(IsBlank(reply[i]));
    }
}

// The value line framed as modems send it, with the raw reply as trailing garbage.
void CheckFramings(const std::string& value, std::string_view garbage) {
    static const struct {
        const char* echo;
        const char* name;
        const char* end;
    } kFramings[] = {{"at+gmi?\r", "+GMI: ", "\r\n"},      // echo on
                     {"", "+GMI: ", "\r\n"},               // echo off
                     {"at+gmm?\r", "+GMM:", "\r\n\r\n"},   // CR LF doubled, no blank
                     {"AT+GCI?\r\r", "+GCI:  \t", "\r"}};  // bare CR, blanks and a tab
    for (const auto& f : kFramings) {
        const std::string framed = std::string(f.echo) + f.end + f.name + value + "  " + f.end +
                                   f.end + "OK" + f.end + std::string(garbage.substr(0, 64));
        FUZZ_CHECK(ExtractQueryValue(framed) == value);
    }
}

void CheckModel(const std::string& value) {
    const std::string model = StripEnclosingQuotes(value);
    const bool bQuoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (value == "\"") {
        FUZZ_CHECK(model.empty());
    } else if (bQuoted) {
        FUZZ_CHECK(model == value.substr(1, value.size() - 2));
    } else {
        FUZZ_CHECK(model == value);
        // Quoted or bare, the same model.
        FUZZ_CHECK(StripEnclosingQuotes("\"" + value + "\"") == value);
    }
}

void CheckCountry(const std::string& value) {
    const std::string digits = KeepDigits(value);
    std::size_t nDigits = 0;
    std::size_t at = 0;
    for (char c : value) {
        if (c >= '0' && c <= '9') {
            ++nDigits;
            FUZZ_CHECK(at < digits.size() && digits[at++] == c);
        }
    }
    FUZZ_CHECK(digits.size() == nDigits);
    // Only the digits count: letters, blanks and signs around them change nothing.
    FUZZ_CHECK(IsGermanCountryValue(value) == IsGermanCountryValue(digits));
    FUZZ_CHECK(IsGermanCountryValue(value) ==
               (digits == "4" || digits.find("04") != npos || digits.find("42") != npos));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply = fuzz::AsText(data, size);

    const std::optional<std::string> value = ExtractQueryValue(reply);
    CheckQueryValueShape(reply, value);
    if (value) {
        CheckFramings(*value, reply);
        CheckModel(*value);
        CheckCountry(*value);
        // The maker word counts anywhere in the value, framed or not.
        FUZZ_CHECK(IsMakerValue(*value) == (value->find("ORVA") != npos));
    }

    // "+PCW" support: an "OK" counts unless the reply starts with it; with the echo in front,
    // any "OK" of the answer counts.
    const bool bOk = reply.find("OK") != npos;
    FUZZ_CHECK(IsCallWaitingReplyOk(reply) == (bOk && reply.substr(0, 2) != "OK"));
    FUZZ_CHECK(IsCallWaitingReplyOk("at+pcw?\r" + std::string(reply)) == bOk);

    // The scan judges the display name with the port appended; the port never changes it.
    const std::string name(reply);
    FUZZ_CHECK(IsSupportedModelName(name) == IsSupportedModelName(name + " (COM3)"));
    return 0;
}
