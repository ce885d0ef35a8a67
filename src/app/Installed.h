// What the program needs beside its own code when it is installed: the desktop identity
// that matches its windows to the menu entry, and the demo with the installed simulated
// board.
#pragma once

namespace halvex {

// The desktop file name (the window's application id, so the task bar shows the menu
// entry's icon) and the window icon, built into the program.
void SetDesktopIdentity();

// `halvexcfg --demo [OSDSIM OPTIONS...]`: replaces this process by the demo launcher
// installed beside the program (libexec/halvexcfg/halvexcfg-demo), which starts the
// installed simulated board and runs the program again with the demo's own preferences
// under $XDG_STATE_HOME/halvexcfg/demo. Returns an exit status only when it cannot start.
int RunInstalledDemo(int argc, char** argv);

} // namespace halvex
