// CHoldState: where the main dialog is in its life, and the moves between. The scan runs
// until its end message has filled the controls; then the tool is ready in the notification
// area, runs one change of behaviour at a time, and ends. An end asked for during a change
// waits for the change, whose thread still uses the modem list and the control; an end is
// final. Whether the dialog may show itself and whether this is a first run are no states.
#pragma once

class CHoldState {
public:
    enum State { kScanning, kReady, kApplying, kEnding };

    bool Is(State state) const { return m_state == state; }
    // A change runs or the program ends: the tray and a second start start nothing new.
    bool IsBusy() const { return m_state == kApplying || m_state == kEnding; }

    void ScanDone() {
        if (m_state == kScanning) {
            m_state = kReady;
        }
    }
    // False where no change may start: during the scan, another change or the end.
    bool StartApply() {
        if (m_state != kReady) {
            return false;
        }
        m_state = kApplying;
        return true;
    }
    // The change is done; true when the end was asked for meanwhile, or has come.
    bool FinishApply() {
        if (m_state == kApplying) {
            m_state = kReady;
        }
        const bool bEnd = m_bEndAfterApply || m_state == kEnding;
        m_bEndAfterApply = false;
        return bEnd;
    }
    // True when the end comes now; during a change it is kept for FinishApply.
    bool RequestEnd() {
        if (m_state == kApplying) {
            m_bEndAfterApply = true;
        }
        if (m_state == kApplying || m_state == kEnding) {
            return false;
        }
        m_state = kEnding;
        return true;
    }
    // The end whatever runs: the scan window was closed, or the scan found no modem.
    void End() { m_state = kEnding; }

private:
    State m_state = kScanning;
    bool m_bEndAfterApply = false;
};
