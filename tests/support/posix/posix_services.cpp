#include "support/posix/posix_services.h"

#include <chrono>
#include <cstdio>
#include <thread>

void CPosixSleeper::Sleep(std::uint32_t milliseconds) {
    // sleep_for resumes after signals on its own and never returns early.
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void CStderrLog::Write(const char* line) {
    if (line) {
        std::fputs(line, stderr);
        std::fflush(stderr);
    }
}
