#include "sim/InteractiveStopwatch.h"

InteractiveStopwatch::Reaction InteractiveStopwatch::OnKey(char key, uint64_t nowMs) {
    Reaction reaction;
    switch (key) {
        case 's':
        case 'S':
            m_running = true;
            m_startMs = nowMs;
            reaction.command = Command::Send;
            reaction.action = EventAction(kKindStart, EventTime{});
            break;
        case 'l':
        case 'L':
            reaction.command = Command::Send;
            reaction.action = EventAction(kKindLap, EventTimeFromMilliseconds(Shown(nowMs)));
            break;
        case 'p':
        case 'P':
            m_stoppedAt = Shown(nowMs);
            m_running = false;
            reaction.command = Command::Send;
            reaction.action = EventAction(kKindStop, EventTimeFromMilliseconds(m_stoppedAt));
            break;
        case 'e':
        case 'E':
            reaction.command = Command::Send;
            reaction.action = EventAction(kKindError, EventTimeFromMilliseconds(Shown(nowMs)));
            break;
        case 'u':
        case 'U':
            reaction.command = Command::TogglePlug;
            break;
        case 'q':
        case 'Q':
            reaction.command = Command::Quit;
            break;
        default:
            break;
    }
    return reaction;
}

const char* InteractiveStopwatch::Help() {
    return "keys: s start, l lap, p stop, e error, u unplug/plug, q quit";
}
