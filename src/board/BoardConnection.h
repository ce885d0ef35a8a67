// What the main window and halvexctl run the board link on, made once: the serial
// component AfComPort1 with the board's line settings, the component as the link's port,
// and the link's two timers (Timer1 the step timer, Timer2 the retry timer). The owner
// builds TOsdLink over Port, Timer1 and Timer2; the component closes when this goes.
#pragma once

#include "board/ComLinkPort.h"
#include "link/QtLinkTimer.h"
#include "serial/AfComPort.h"

namespace halvex {

struct TBoardConnection {
    TBoardConnection() { ConfigureBoardPort(Com); }

    TAfComPort Com{"AfComPort1"};
    TComLinkPort Port{Com};
    TQtTimer Timer1;
    TQtTimer Timer2;
};

} // namespace halvex
