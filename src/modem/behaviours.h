// The behaviours the tool offers for a call that comes in during a data connection, in one
// table: the mode written behind "+PCW=", the tray menu's command and text, and the provider's
// service code. A further behaviour is a row here and its item in the tray menu (mavris.rc).
// The resource compiler reads the ids through ui/resource.h; the rest is hidden from it.
#ifndef MAVRIS_BEHAVIOURS_H
#define MAVRIS_BEHAVIOURS_H

#define ID_TRAY_STAY_CONNECTED 32774
#define ID_TRAY_CUT_THE_LINE 32775
#define IDS_CUT_CONNECTION 129
#define IDS_STAY_CONNECTED 130

#ifndef RC_INVOKED

enum class Behaviour { kCutTheLine = 1, kStayConnected = 2 };

struct BehaviourInfo {
    Behaviour behaviour;
    int nTrayCommand;
    int nTextId;
    const char* szServiceCode;
};

inline constexpr BehaviourInfo kBehaviours[] = {
    {Behaviour::kCutTheLine, ID_TRAY_CUT_THE_LINE, IDS_CUT_CONNECTION, "*43#"},
    {Behaviour::kStayConnected, ID_TRAY_STAY_CONNECTED, IDS_STAY_CONNECTED, "#43#"},
};

// The row of a mode, or null: mode 0 is recognised when read but is no behaviour.
constexpr const BehaviourInfo* FindBehaviour(int nMode) {
    for (const BehaviourInfo& info : kBehaviours) {
        if (static_cast<int>(info.behaviour) == nMode) {
            return &info;
        }
    }
    return nullptr;
}

// The row of a tray menu command, or null.
constexpr const BehaviourInfo* FindBehaviourByCommand(int nCommand) {
    for (const BehaviourInfo& info : kBehaviours) {
        if (info.nTrayCommand == nCommand) {
            return &info;
        }
    }
    return nullptr;
}

constexpr const BehaviourInfo& GetBehaviourInfo(Behaviour behaviour) {
    return *FindBehaviour(static_cast<int>(behaviour));
}

#endif  // RC_INVOKED
#endif  // MAVRIS_BEHAVIOURS_H
