// mavris-serial-hold: opens one COM port with CSerialPort and holds it, so that a test can look
// at the line settings from the other side of the line at each step:
//   prints "open", waits for a line on stdin, closes, prints "closed", waits for a line, ends.
// A port that does not open prints "open failed" and ends with 1; a failure to configure or
// to restore the port prints "error" and ends with 1.
#include <cstdio>
#include <cstdlib>

#include "modem/serial_port.h"
#include "platform/user_exception.h"
#include "platform/win32/win32_platform.h"

namespace {

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

void WaitForLine() {
    char line[64];
    if (!std::fgets(line, sizeof(line), stdin)) {
        // The test went away; nothing more to wait for.
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::atoi(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: mavris-serial-hold COM-PORT-NUMBER\n");
        return 2;
    }
    CSerialPort port(GetWin32Platform(), std::atoi(argv[1]));
    try {
        if (!port.Open()) {
            Say("open failed");
            return 1;
        }
        Say("open");
        WaitForLine();
        port.Close();
        Say("closed");
        WaitForLine();
    } catch (const CUserException&) {
        Say("error");
        return 1;
    }
    return 0;
}
