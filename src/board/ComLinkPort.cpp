#include "board/ComLinkPort.h"

namespace halvex {

void ConfigureBoardPort(TAfCustomComPort& port) {
    port.SetBaudRate(br57600);
    port.SetDTR(false);
    port.SetWriteThreadPriority(tpHigher);
    port.Loaded();
}

} // namespace halvex
