#include "modem-sim/modem_profile.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "common/escape.h"

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), LowerAscii);
    return result;
}

std::string_view Trim(std::string_view text) {
    const char* const kBlanks = " \t\r\n";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool ParseBool(std::string_view value, bool* result) {
    const std::string lower = Lower(Trim(value));
    if (lower == "on" || lower == "1" || lower == "true" || lower == "yes") {
        *result = true;
        return true;
    }
    if (lower == "off" || lower == "0" || lower == "false" || lower == "no") {
        *result = false;
        return true;
    }
    return false;
}

bool ParseMs(std::string_view value, std::uint32_t* result) {
    value = Trim(value);
    std::uint32_t parsed = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (value.empty() || ec != std::errc() || end != value.data() + value.size()) {
        return false;
    }
    *result = parsed;
    return true;
}

bool ParseDial(std::string_view value, DialResult* result) {
    static const std::pair<const char*, DialResult> kNames[] = {
        {"ok", DialResult::kOk},     {"no_dialtone", DialResult::kNoDialtone},
        {"busy", DialResult::kBusy}, {"error", DialResult::kError},
        {"none", DialResult::kNone},
    };
    std::string lower = Lower(Trim(value));
    std::replace(lower.begin(), lower.end(), '-', '_');
    for (const auto& [name, dial] : kNames) {
        if (lower == name) {
            *result = dial;
            return true;
        }
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// One reply line as a modem in verbose mode frames it.
std::string Line(std::string_view text) {
    std::string line = "\r\n";
    line += text;
    line += "\r\n";
    return line;
}

const char* DialResultText(DialResult dial) {
    switch (dial) {
        case DialResult::kOk:
            return "OK";
        case DialResult::kNoDialtone:
            return "NO DIALTONE";
        case DialResult::kBusy:
            return "BUSY";
        case DialResult::kError:
            return "ERROR";
        case DialResult::kNone:
            break;
    }
    return nullptr;
}

// "at...d...;h": dial, return to command mode, hang up.
bool IsDialAndHangUp(std::string_view lowerBody) {
    return lowerBody.size() >= 5 && lowerBody.substr(0, 2) == "at" &&
           lowerBody.find('d', 2) != std::string_view::npos &&
           lowerBody.substr(lowerBody.size() - 2) == ";h";
}

}  // namespace

bool ApplyProfileSetting(ModemProfile& profile, std::string_view key, std::string_view value,
                         std::string* error) {
    std::string name = Lower(Trim(key));
    std::replace(name.begin(), name.end(), '-', '_');
    bool ok = true;
    if (name == "echo") {
        ok = ParseBool(value, &profile.bEcho);
    } else if (name == "maker") {
        profile.strMaker = value;
    } else if (name == "model") {
        profile.strModel = value;
    } else if (name == "model_quoted") {
        ok = ParseBool(value, &profile.bModelQuoted);
    } else if (name == "pcw") {
        ok = ParseBool(value, &profile.bPcwKnown);
    } else if (name == "pcw_mode") {
        profile.strPcwMode = value;
    } else if (name == "country") {
        profile.strCountry = value;
    } else if (name == "reply_delay") {
        ok = ParseMs(value, &profile.nReplyDelayMs);
    } else if (name == "split") {
        ok = ParseMs(value, &profile.nSplitMs);
    } else if (name == "split_at") {
        ok = ParseMs(value, &profile.nSplitAt);
    } else if (name == "dial") {
        ok = ParseDial(value, &profile.eDial);
    } else if (name == "dial_delay") {
        ok = ParseMs(value, &profile.nDialDelayMs);
    } else if (name == "silent") {
        ok = ParseBool(value, &profile.bSilent);
    } else if (name == "garbage") {
        ok = ParseBool(value, &profile.bGarbage);
    } else if (name == "hangup_after") {
        ok = ParseMs(value, &profile.nHangUpAfter);
    } else if (name == "hangup_delay") {
        ok = ParseMs(value, &profile.nHangUpDelayMs);
    } else if (name == "reply") {
        const auto bar = value.find('|');
        ok = bar != std::string_view::npos && !Trim(value.substr(0, bar)).empty();
        if (ok) {
            profile.overrides.push_back(
                {std::string(Trim(value.substr(0, bar))), DecodeEscapes(value.substr(bar + 1))});
        }
    } else {
        if (error) {
            *error = "unknown setting '" + std::string(key) + "'";
        }
        return false;
    }
    if (!ok && error) {
        *error = "bad value '" + std::string(value) + "' for '" + std::string(key) + "'";
    }
    return ok;
}

bool LoadProfileText(ModemProfile& profile, std::string_view text, std::string* error) {
    int nLine = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++nLine;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;
        }
        const auto eq = trimmed.find('=');
        std::string reason;
        if (eq == std::string_view::npos) {
            reason = "no '=' in '" + std::string(trimmed) + "'";
        } else {
            // Values keep inner blanks (model names have them) but lose the ones around '='.
            std::string_view value = trimmed.substr(eq + 1);
            value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
            if (ApplyProfileSetting(profile, trimmed.substr(0, eq), value, &reason)) {
                continue;
            }
        }
        if (error) {
            *error = "line " + std::to_string(nLine) + ": " + reason;
        }
        return false;
    }
    return true;
}

const char* ProfileKeysHelp() {
    return "  echo=on|off            echo each command before the answer (on)\n"
           "  maker=TEXT             +GMI value (ORVA)\n"
           "  model=TEXT             +GMM value (ORVA 56k V.92)\n"
           "  model_quoted=on|off    +GMM value in double quotes (on)\n"
           "  pcw=on|off             +PCW known: '+PCW: <mode>' and OK, else ERROR (on)\n"
           "  pcw_mode=TEXT          +PCW value (0)\n"
           "  country=TEXT           +GCI value (04)\n"
           "  reply_delay=MS         silence before anything, echo included (0)\n"
           "  split=MS               answer comes MS after the echo, in its own burst (0)\n"
           "  split_at=N             of a late answer (split, dial_delay) the first N bytes\n"
           "                         still come with the echo: a burst cut mid-line (0)\n"
           "  dial=ok|no_dialtone|busy|error|none   answer to 'at...d...;h' (ok)\n"
           "  dial_delay=MS          dial answer comes MS after the echo (0)\n"
           "  silent=on|off          never send a byte (off)\n"
           "  garbage=on|off         line noise without ':' instead of echo and answer (off)\n"
           "  hangup_after=N         drop the line after answering N commands; 0 never (0)\n"
           "  hangup_delay=MS        drop it MS after that answer: while a read waits (0)\n"
           "  reply=CMD|TEXT         raw answer for CMD (no CR; any case) after the echo;\n"
           "                         TEXT takes \\r \\n \\t \\\\ \\xHH; repeatable\n"
           "Any other command is answered with ERROR.\n";
}

std::string DecodeEscapes(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            result += c;
            continue;
        }
        const char next = text[i + 1];
        if (next == 'r' || next == 'n' || next == 't' || next == '\\') {
            result += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
            ++i;
        } else if (next == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            result += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            result += c;
        }
    }
    return result;
}

std::string EscapeForLog(std::string_view bytes) {
    return escape::Escape(bytes, "\\x", [](unsigned char c) { return c < 0x20 || c > 0x7E; });
}

std::vector<std::string> CCommandSplitter::Feed(std::string_view bytes) {
    std::vector<std::string> commands;
    for (const char c : bytes) {
        if (c == '\r') {
            m_strPending += c;
            commands.push_back(std::move(m_strPending));
            m_strPending.clear();
        } else if (m_strPending.size() < kMaxCommand) {
            m_strPending += c;
        }
    }
    return commands;
}

CModemResponder::CModemResponder(ModemProfile profile) : m_profile(std::move(profile)) {}

bool CModemResponder::HangUpDue() const {
    return m_profile.nHangUpAfter != 0 && m_nCommands >= m_profile.nHangUpAfter;
}

std::vector<ReplyBurst> CModemResponder::Respond(std::string_view command) {
    std::string_view body = command;
    if (!body.empty() && body.back() == '\r') {
        body.remove_suffix(1);
    }
    body = Trim(body);
    if (body.empty() || HangUpDue()) {
        return {};
    }
    ++m_nCommands;
    if (m_profile.bSilent) {
        return {};
    }
    if (m_profile.bGarbage) {
        return {{m_profile.nReplyDelayMs, Noise()}};
    }

    const std::string lowerBody = Lower(body);
    const bool bDial = IsDialAndHangUp(lowerBody);
    const std::string echo = m_profile.bEcho ? std::string(command) : std::string();
    const std::string answer = Answer(lowerBody, bDial);
    const std::uint32_t nAnswerDelay = bDial ? m_profile.nDialDelayMs : m_profile.nSplitMs;

    if (echo.empty() && answer.empty()) {
        return {};
    }
    // A late answer may have its first bytes sent at once, so that a line is cut in two.
    const std::size_t nEarly = std::min<std::size_t>(m_profile.nSplitAt, answer.size());
    const std::string early = echo + answer.substr(0, nEarly);
    const std::string late = answer.substr(nEarly);
    if (late.empty() || nAnswerDelay == 0) {
        return {{m_profile.nReplyDelayMs, echo + answer}};
    }
    if (early.empty()) {
        return {{m_profile.nReplyDelayMs + nAnswerDelay, late}};
    }
    return {{m_profile.nReplyDelayMs, early}, {nAnswerDelay, late}};
}

std::string CModemResponder::Answer(std::string_view lowerBody, bool bDial) const {
    for (const auto& override : m_profile.overrides) {
        if (Lower(override.strCommand) == lowerBody) {
            return override.strAnswer;
        }
    }
    const std::string ok = Line("OK");
    if (bDial) {
        const char* result = DialResultText(m_profile.eDial);
        return result ? Line(result) : std::string();
    }
    if (lowerBody == "at&f") {
        return ok;
    }
    if (lowerBody == "at+gmi?" || lowerBody == "at+gmi") {
        return Line("+GMI: " + m_profile.strMaker) + ok;
    }
    if (lowerBody == "at+gmm?" || lowerBody == "at+gmm") {
        const std::string model =
            m_profile.bModelQuoted ? '"' + m_profile.strModel + '"' : m_profile.strModel;
        return Line("+GMM: " + model) + ok;
    }
    if (lowerBody == "at+pcw?") {
        return m_profile.bPcwKnown ? Line("+PCW: " + m_profile.strPcwMode) + ok : Line("ERROR");
    }
    if (lowerBody == "at+gci?") {
        return Line("+GCI: " + m_profile.strCountry) + ok;
    }
    return Line("ERROR");
}

// Line noise as a wrong bit rate produces it: never a ':' (so no query value can be read
// from it) and never "OK" (so no command seems to succeed).
std::string CModemResponder::Noise() {
    std::string noise;
    while (noise.size() < 24) {
        m_nNoiseState ^= m_nNoiseState << 13;
        m_nNoiseState ^= m_nNoiseState >> 17;
        m_nNoiseState ^= m_nNoiseState << 5;
        const char c = static_cast<char>(m_nNoiseState & 0xFF);
        if (c != 0 && c != ':' && c != 'O' && c != 'K') {
            noise += c;
        }
    }
    return noise;
}
