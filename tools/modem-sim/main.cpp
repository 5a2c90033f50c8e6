// mavris-modem-sim: plays an ORVA V.92 modem on a pseudo-terminal, so that the tool (natively
// or under Wine) can be run against a modem without one. The answers come from
// CModemResponder; this file only does the terminal, the timing, the log and the signals.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "modem-sim/modem_profile.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kUsage[] =
    "usage: mavris-modem-sim [options] [--KEY VALUE | --KEY=VALUE ...]\n"
    "Plays an ORVA V.92 modem on a new pseudo-terminal. The first line on stdout is\n"
    "'pty /dev/pts/N' (or 'device PATH' with --device); open that path as the COM port.\n"
    "Options:\n"
    "  --device PATH      serve an existing terminal device instead of a new pty\n"
    "  --link PATH        also make PATH a symlink to the pty (removed at exit), e.g.\n"
    "                     $WINEPREFIX/dosdevices/com3\n"
    "  --profile FILE     read KEY=VALUE lines (# comments); later options override\n"
    "  --log FILE         write every received command line to FILE (truncated at start),\n"
    "                     one line each, bytes escaped: CR as \\r, LF as \\n, others \\xHH\n"
    "  --log-termios      after each command line also log the line settings in force:\n"
    "                     'termios baud=115200 csize=8 parity=none stop=1 crtscts=1 ixon=0\n"
    "                     ixoff=0'\n"
    "  --idle-exit SEC    exit after SEC seconds without a received byte; 0 never (600)\n"
    "  --verbose          trace commands and replies on stderr\n"
    "  --help             this text\n"
    "Exit status 0 after SIGTERM/SIGINT/SIGHUP, the idle time or a hang-up (which waits\n"
    "until the last answer was read, at most 5 s); 1 when the line fails; 2 on bad usage.\n"
    "Profile keys (as --KEY VALUE or in the profile file):\n";

volatile sig_atomic_t g_nSignalPipe = -1;

void OnSignal(int) {
    const char c = 's';
    if (g_nSignalPipe >= 0) {
        [[maybe_unused]] auto ignored = write(g_nSignalPipe, &c, 1);
    }
}

struct Options {
    ModemProfile profile;
    std::string strDevice;
    std::string strLink;
    std::string strLog;
    bool bLogTermios = false;
    unsigned nIdleExitSeconds = 600;
    bool bVerbose = false;
};

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

// Returns 0 to go on, 1 for a usage error, 2 after --help.
int ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(ProfileKeysHelp(), stdout);
            return 2;
        }
        if (arg.rfind("--", 0) != 0) {
            std::fprintf(stderr, "mavris-modem-sim: unexpected argument '%s'\n", arg.c_str());
            return 1;
        }
        arg.erase(0, 2);
        std::string value;
        bool bHasValue = false;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
            bHasValue = true;
        }
        if (arg == "log-termios" || arg == "verbose") {
            (arg == "verbose" ? options->bVerbose : options->bLogTermios) = true;
            continue;
        }
        if (!bHasValue) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "mavris-modem-sim: --%s needs a value\n", arg.c_str());
                return 1;
            }
            value = argv[++i];
        }
        std::string error;
        if (arg == "device") {
            options->strDevice = value;
        } else if (arg == "link") {
            options->strLink = value;
        } else if (arg == "log") {
            options->strLog = value;
        } else if (arg == "idle-exit") {
            char* end = nullptr;
            const unsigned long seconds = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0') {
                std::fprintf(stderr, "mavris-modem-sim: bad --idle-exit '%s'\n", value.c_str());
                return 1;
            }
            options->nIdleExitSeconds = static_cast<unsigned>(seconds);
        } else if (arg == "profile") {
            std::string text;
            if (!ReadFile(value, &text)) {
                std::fprintf(stderr, "mavris-modem-sim: cannot read %s\n", value.c_str());
                return 1;
            }
            if (!LoadProfileText(options->profile, text, &error)) {
                std::fprintf(stderr, "mavris-modem-sim: %s: %s\n", value.c_str(), error.c_str());
                return 1;
            }
        } else if (!ApplyProfileSetting(options->profile, arg, value, &error)) {
            std::fprintf(stderr, "mavris-modem-sim: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}

unsigned long BaudOf(speed_t speed) {
    static const std::pair<speed_t, unsigned long> kSpeeds[] = {
        {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},
        {B134, 134},       {B150, 150},       {B200, 200},       {B300, 300},
        {B600, 600},       {B1200, 1200},     {B1800, 1800},     {B2400, 2400},
        {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
        {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
    };
    for (const auto& [code, baud] : kSpeeds) {
        if (code == speed) {
            return baud;
        }
    }
    return static_cast<unsigned long>(speed);
}

std::string DescribeTermios(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return std::string("termios error=") + std::strerror(errno);
    }
    const tcflag_t size = tio.c_cflag & CSIZE;
    const int nBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    const char* parity = "none";
    if (tio.c_cflag & PARENB) {
        const bool bOdd = (tio.c_cflag & PARODD) != 0;
        if (tio.c_cflag & CMSPAR) {
            parity = bOdd ? "mark" : "space";
        } else {
            parity = bOdd ? "odd" : "even";
        }
    }
    char line[160];
    std::snprintf(line, sizeof line,
                  "termios baud=%lu csize=%d parity=%s stop=%d crtscts=%d ixon=%d ixoff=%d",
                  BaudOf(cfgetospeed(&tio)), nBits, parity, (tio.c_cflag & CSTOPB) ? 2 : 1,
                  (tio.c_cflag & CRTSCTS) ? 1 : 0, (tio.c_iflag & IXON) ? 1 : 0,
                  (tio.c_iflag & IXOFF) ? 1 : 0);
    return line;
}

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

struct Pending {
    Clock::time_point due;
    std::string strBytes;
    bool bHangUp = false;
};

class CSimulator {
public:
    explicit CSimulator(Options options)
        : m_options(std::move(options)), m_responder(m_options.profile) {}
    ~CSimulator() { Shutdown(); }

    bool Start();
    int Run();

private:
    void OnBytes(const char* data, std::size_t size);
    void WriteBytes(const std::string& bytes);
    bool ReadyToHangUp(Clock::time_point now) const;
    void Shutdown();

    Options m_options;
    CModemResponder m_responder;
    CCommandSplitter m_splitter;
    std::deque<Pending> m_pending;
    std::optional<Clock::time_point> m_hangUpSince;
    int m_nIo = -1;        // pty master or the served device
    int m_nSettings = -1;  // where the line settings are read: the slave (kept open) or device
    std::string m_strLinkMade;
    std::FILE* m_pLog = nullptr;
    int m_signalPipe[2] = {-1, -1};
};

bool CSimulator::Start() {
    if (!m_options.strLog.empty()) {
        m_pLog = std::fopen(m_options.strLog.c_str(), "w");
        if (!m_pLog) {
            std::fprintf(stderr, "mavris-modem-sim: cannot write %s: %s\n",
                         m_options.strLog.c_str(), std::strerror(errno));
            return false;
        }
    }
    std::string path;
    if (!m_options.strDevice.empty()) {
        path = m_options.strDevice;
        m_nIo = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_nIo < 0) {
            std::fprintf(stderr, "mavris-modem-sim: cannot open %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
        if (isatty(m_nIo)) {
            MakeRaw(m_nIo);
        }
        m_nSettings = m_nIo;
    } else {
        m_nIo = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_nIo < 0 || grantpt(m_nIo) != 0 || unlockpt(m_nIo) != 0 || !ptsname(m_nIo)) {
            std::fprintf(stderr, "mavris-modem-sim: no pseudo-terminal: %s\n",
                         std::strerror(errno));
            return false;
        }
        path = ptsname(m_nIo);
        fcntl(m_nIo, F_SETFL, fcntl(m_nIo, F_GETFL) | O_NONBLOCK);
        // Holding the slave open keeps the master from seeing EIO between two clients and
        // keeps the raw settings; a modem line has no echo and no CR/LF translation.
        m_nSettings = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_nSettings < 0 || !MakeRaw(m_nSettings)) {
            std::fprintf(stderr, "mavris-modem-sim: cannot set up %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
    }
    if (!m_options.strLink.empty()) {
        struct stat st {};
        if (lstat(m_options.strLink.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            unlink(m_options.strLink.c_str());
        }
        if (symlink(path.c_str(), m_options.strLink.c_str()) != 0) {
            std::fprintf(stderr, "mavris-modem-sim: cannot link %s: %s\n",
                         m_options.strLink.c_str(), std::strerror(errno));
            return false;
        }
        m_strLinkMade = m_options.strLink;
    }
    if (pipe2(m_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    g_nSignalPipe = m_signalPipe[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::printf("%s %s\n", m_options.strDevice.empty() ? "pty" : "device", path.c_str());
    std::fflush(stdout);
    return true;
}

int CSimulator::Run() {
    auto lastInput = Clock::now();
    const auto idleLimit = std::chrono::seconds(m_options.nIdleExitSeconds);
    for (;;) {
        const auto now = Clock::now();
        while (!m_pending.empty() && m_pending.front().due <= now) {
            const Pending due = std::move(m_pending.front());
            m_pending.pop_front();
            WriteBytes(due.strBytes);
            if (due.bHangUp) {
                m_hangUpSince = now;
            }
        }
        if (m_hangUpSince && ReadyToHangUp(now)) {
            if (m_options.bVerbose) {
                std::fputs("mavris-modem-sim: hanging up\n", stderr);
            }
            return 0;
        }
        if (m_options.nIdleExitSeconds != 0 && m_pending.empty() && now - lastInput >= idleLimit) {
            std::fputs("mavris-modem-sim: idle, exiting\n", stderr);
            return 0;
        }

        // Sleep until input, a signal, the next burst or the idle limit, whichever is first.
        auto wake = now + std::chrono::hours(1);
        if (m_hangUpSince) {
            wake = now + std::chrono::milliseconds(20);
        } else if (!m_pending.empty()) {
            wake = m_pending.front().due;
        } else if (m_options.nIdleExitSeconds != 0) {
            wake = lastInput + idleLimit;
        }
        const auto waitMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count() + 1;
        pollfd fds[2] = {{m_nIo, POLLIN, 0}, {m_signalPipe[0], POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(std::max<long long>(waitMs, 0)));
        if (ready < 0 && errno != EINTR) {
            std::perror("mavris-modem-sim: poll");
            return 1;
        }
        if (ready <= 0) {
            continue;
        }
        if (fds[1].revents & POLLIN) {
            return 0;
        }
        if (fds[0].revents & POLLIN) {
            char buffer[4096];
            const ssize_t got = read(m_nIo, buffer, sizeof buffer);
            if (got > 0) {
                lastInput = Clock::now();
                OnBytes(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                std::fprintf(stderr, "mavris-modem-sim: line lost: %s\n",
                             got == 0 ? "end of file" : std::strerror(errno));
                return 1;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Only a served device can hang up on us; a pty master never does while we hold
            // its slave. Avoid spinning on the condition.
            std::fputs("mavris-modem-sim: device hung up\n", stderr);
            return 1;
        }
    }
}

void CSimulator::OnBytes(const char* data, std::size_t size) {
    for (const std::string& command : m_splitter.Feed(std::string_view(data, size))) {
        if (m_pLog) {
            std::fprintf(m_pLog, "%s\n", EscapeForLog(command).c_str());
            if (m_options.bLogTermios) {
                std::fprintf(m_pLog, "%s\n", DescribeTermios(m_nSettings).c_str());
            }
            std::fflush(m_pLog);
        }
        if (m_options.bVerbose) {
            std::fprintf(stderr, "mavris-modem-sim: <- %s\n", EscapeForLog(command).c_str());
        }
        const bool bHungUpBefore = m_responder.HangUpDue();
        // Replies never overtake each other: each command's bursts follow the previous ones.
        auto at = m_pending.empty() ? Clock::now() : m_pending.back().due;
        for (ReplyBurst& burst : m_responder.Respond(command)) {
            at += std::chrono::milliseconds(burst.nDelayMs);
            m_pending.push_back({at, std::move(burst.strBytes), false});
        }
        if (!bHungUpBefore && m_responder.HangUpDue()) {
            m_pending.push_back({at, std::string(), true});
        }
    }
}

void CSimulator::WriteBytes(const std::string& bytes) {
    if (m_options.bVerbose && !bytes.empty()) {
        std::fprintf(stderr, "mavris-modem-sim: -> %s\n", EscapeForLog(bytes).c_str());
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(m_nIo, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else {
            // Nobody reads the line and its buffer is full: the rest is lost, as on a wire.
            if (m_options.bVerbose) {
                std::fprintf(stderr, "mavris-modem-sim: dropped %zu bytes\n", bytes.size() - done);
            }
            break;
        }
    }
}

// Dropping the line discards what the computer has not read yet, so the modem's last answer
// would never arrive: wait until it is read (or a few seconds have passed), as a modem's
// reply is on the wire before the carrier goes. The first moments are always waited out,
// since bytes written to a pty master take a little while to show in the slave's queue.
bool CSimulator::ReadyToHangUp(Clock::time_point now) const {
    const auto waited = now - *m_hangUpSince;
    if (waited < std::chrono::milliseconds(100)) {
        return false;
    }
    if (waited > std::chrono::seconds(5)) {
        return true;
    }
    int nUnread = 0;
    const bool bDevice = m_nSettings == m_nIo;
    if (ioctl(bDevice ? m_nIo : m_nSettings, bDevice ? TIOCOUTQ : FIONREAD, &nUnread) != 0) {
        return true;
    }
    return nUnread == 0;
}

void CSimulator::Shutdown() {
    g_nSignalPipe = -1;
    if (!m_strLinkMade.empty()) {
        unlink(m_strLinkMade.c_str());
        m_strLinkMade.clear();
    }
    for (int* fd : {&m_nSettings, &m_nIo, &m_signalPipe[0], &m_signalPipe[1]}) {
        if (*fd >= 0 && (fd != &m_nSettings || m_nSettings != m_nIo)) {
            close(*fd);
        }
    }
    m_nIo = m_nSettings = m_signalPipe[0] = m_signalPipe[1] = -1;
    if (m_pLog) {
        std::fclose(m_pLog);
        m_pLog = nullptr;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int parsed = ParseOptions(argc, argv, &options); parsed != 0) {
        return parsed == 2 ? 0 : 2;
    }
    CSimulator simulator(std::move(options));
    if (!simulator.Start()) {
        return 1;
    }
    return simulator.Run();
}
