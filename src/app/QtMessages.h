// What Qt says on its own (a missing XDG_RUNTIME_DIR, a platform plugin that
// could not connect, a tray it cannot find) is for developers, not for the
// user of a relay: it is shown only with --verbose. A fatal message is always
// shown, since the program ends with it, and the log is saved first.
#pragma once

void InstallQtMessageFilter(bool verbose);
