// The fake platform that the modem core tests run on: in-memory registry, scripted serial
// ports and sleeps on one virtual clock, and a captured debug log.
#pragma once

#include <cstring>
#include <string>

#include "modem/behaviours.h"
#include "modem/modem_info.h"
#include "support/memory/capture_log.h"
#include "support/memory/fake_serial.h"
#include "support/memory/memory_registry.h"
#include "support/memory/virtual_clock.h"
#include "platform/services.h"

constexpr Behaviour kCut = Behaviour::kCutTheLine, kStay = Behaviour::kStayConnected;

inline bool SameSettings(const SerialLineSettings& a, const SerialLineSettings& b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

struct FakePlatform {
    CVirtualClock clock;
    CFakeSleeper sleeper{clock};
    CFakeSerialPorts serial{clock};
    CMemoryRegistry registry;
    CCaptureLog log;
    Platform platform;

    FakePlatform() {
        platform.registry = &registry;
        platform.serial = &serial;
        platform.sleeper = &sleeper;
        platform.log = &log;
    }

    // Adds a modem subkey in the given layout; a null text leaves that value out.
    void AddModemKey(int nKey, const char* attachedTo, const char* model,
                     const char* userInit = nullptr, bool bLegacy = false) {
        std::string path = BuildModemKeyPath(nKey, bLegacy);
        registry.AddKey(RegRoot::kLocalMachine, path);
        if (attachedTo != nullptr) {
            registry.SetString(RegRoot::kLocalMachine, path, "AttachedTo", attachedTo);
        }
        if (model != nullptr) {
            registry.SetString(RegRoot::kLocalMachine, path, "Model", model);
        }
        if (userInit != nullptr) {
            registry.SetString(RegRoot::kLocalMachine, path, "UserInit", userInit);
        }
    }

    // A port answering like a modem of the maker with these answers.
    CFakeSerialPort& AddModem(int nPort, const FakeModemAnswers& answers = {}) {
        CFakeSerialPort& port = serial.AddPort(nPort);
        ScriptModem(port, answers);
        return port;
    }
};
