// CHoldState: the main dialog's life. The scan runs until its end message has filled the
// controls; then the tool is ready, runs one change of behaviour at a time, and ends. An end
// asked for during a change waits for it, as its thread still uses the modem list and the
// control. Whether the dialog may show itself and whether this is a first run are no states.
#pragma once

#include <utility>

class CHoldState {
public:
    enum State { kScanning, kReady, kApplying, kEnding };

    bool Is(State state) const { return m_state == state; }
    // A change runs or the program ends: the tray and a second start start nothing new.
    bool IsBusy() const { return m_state == kApplying || m_state == kEnding; }
    void ScanDone() { Move(kScanning, kReady); }
    // False during the scan, another change or the end.
    bool StartApply() { return Move(kReady, kApplying); }
    // True when the end was asked for during the change, or has come.
    bool FinishApply() {
        Move(kApplying, kReady);
        return std::exchange(m_bEndAfterApply, false) || m_state == kEnding;
    }
    // True when the end comes now; asked for during a change, it waits for FinishApply.
    bool RequestEnd() {
        m_bEndAfterApply = m_bEndAfterApply || m_state == kApplying;
        return Move(kScanning, kEnding) || Move(kReady, kEnding);
    }
    // The end whatever runs: the scan window was closed, or no modem was found.
    void End() { m_state = kEnding; }

private:
    bool Move(State from, State to) {
        if (m_state != from) {
            return false;
        }
        m_state = to;
        return true;
    }

    State m_state = kScanning;
    bool m_bEndAfterApply = false;
};
