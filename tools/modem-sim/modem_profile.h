// A simulated V.92 modem of the maker ORVA: its profile (what it answers, how fast, how
// badly) and the responder that turns one received command line into reply bursts. No I/O
// here, so the same modem can answer over a pseudo-terminal and inside unit tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the modem answers to a dial command that ends in ";h".
enum class DialResult { kOk, kNoDialtone, kBusy, kError, kNone };

struct ModemProfile {
    bool bEcho = true;
    std::string strMaker = "ORVA";           // value of the +GMI line
    std::string strModel = "ORVA 56k V.92";  // value of the +GMM line
    bool bModelQuoted = true;                // +GMM: "..." instead of +GMM: ...
    bool bPcwKnown = true;                   // +PCW? answered, else ERROR
    std::string strPcwMode = "0";            // value of the +PCW line
    std::string strCountry = "04";           // value of the +GCI line
    std::uint32_t nReplyDelayMs = 0;         // before anything, echo included
    std::uint32_t nSplitMs = 0;              // answer this long after the echo; 0: one burst
    std::uint32_t nSplitAt = 0;  // with a late answer: its first bytes still come with the echo
    DialResult eDial = DialResult::kOk;
    std::uint32_t nDialDelayMs = 0;    // the dial result this long after the echo
    bool bSilent = false;              // never a byte, not even the echo
    bool bGarbage = false;             // line noise instead of echo and answer
    std::uint32_t nHangUpAfter = 0;    // hang up once this many commands were answered; 0 never
    std::uint32_t nHangUpDelayMs = 0;  // the hang-up this long after that answer's last burst

    // Raw answers (after the echo, no framing added) that replace the built-in ones.
    struct Override {
        std::string strCommand;  // without its CR, compared without regard to case
        std::string strAnswer;
    };
    std::vector<Override> overrides;
};

// Sets one profile key ("echo", "maker", "model", "model_quoted", "pcw", "pcw_mode",
// "country", "reply_delay", "split", "split_at", "dial", "dial_delay", "silent", "garbage",
// "hangup_after", "hangup_delay", "reply"; '-' and '_' are interchangeable). False with a reason
// when the key is unknown or the value does not fit it.
bool ApplyProfileSetting(ModemProfile& profile, std::string_view key, std::string_view value,
                         std::string* error);

// key=value lines; blank lines and lines starting with '#' are skipped. Stops at the first
// bad line and names it in the reason.
bool LoadProfileText(ModemProfile& profile, std::string_view text, std::string* error);

// The usage text of the profile keys, for --help.
const char* ProfileKeysHelp();

// "\r" -> CR, "\n" -> LF, "\t", "\\", "\xHH"; anything else stays as written.
std::string DecodeEscapes(std::string_view text);
// The reverse for log lines: CR, LF, tab, backslash and non-printable bytes escaped, so a
// command is one line whose text shows every byte.
std::string EscapeForLog(std::string_view bytes);

// Cuts the byte stream from the computer into command lines, each ending in its CR.
// Commands may arrive split across reads, or several in one read. A line longer than
// kMaxCommand bytes keeps only its first kMaxCommand bytes, as a modem's command buffer would.
class CCommandSplitter {
public:
    static constexpr std::size_t kMaxCommand = 1024;
    // Appends bytes; returns the command lines completed by them, in order.
    std::vector<std::string> Feed(std::string_view bytes);
    std::size_t Pending() const { return m_strPending.size(); }

private:
    std::string m_strPending;
};

// One piece of the reply: written nDelayMs after the previous burst (the first one after the
// command's CR arrived).
struct ReplyBurst {
    std::uint32_t nDelayMs;
    std::string strBytes;
    bool operator==(const ReplyBurst&) const = default;
};

class CModemResponder {
public:
    explicit CModemResponder(ModemProfile profile);

    // The reply to one command line as received (its CR included). An empty line (a bare
    // CR, possibly after a LF) is ignored, as a modem ignores it, and does not count.
    std::vector<ReplyBurst> Respond(std::string_view command);

    // True once the modem has answered its nHangUpAfter-th command: the line is then dropped.
    bool HangUpDue() const;
    std::uint32_t CommandsAnswered() const { return m_nCommands; }
    const ModemProfile& Profile() const { return m_profile; }

private:
    std::string Answer(std::string_view body, bool bDial) const;
    std::string Noise();

    ModemProfile m_profile;
    std::uint32_t m_nCommands = 0;
    std::uint32_t m_nNoiseState = 0x2545F491u;
};
