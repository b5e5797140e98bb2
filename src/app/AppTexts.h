// What the program itself says to the user outside the SMTP dialog and the
// settings boxes: the headless lines on standard error and the reasons it
// cannot listen, spelled as the user sees them.
#pragma once

namespace app_text {

inline constexpr char kNoDisplay[] = "No display found: Postwick runs headless.";
// A folder for the settings and the log could not be made. %s: the folder.
inline constexpr char kNoUserFolder[] = "Could not create the folder %s for the settings and the log.\n";

// Headless stand-ins for the windows: one line each on standard error.
// The warnings print their own texts (log/ProblemWarnings.h).
inline constexpr char kHeadlessOpen[] = "Open: running headless, there is no window to show.";

// With --verbose, on a desktop too: this, then how the copy went
// ("ann@a.test via mx.a.test: TLS (TLSv1.3, certificate verified)").
inline constexpr char kDeliveredCopy[] = "Delivered: ";

// The listener could not bind a port below 1024 for want of privileges.
// %1: the port; %2: the settings file.
inline constexpr char kPrivilegedPort[] =
    "Could not listen on port %1: ports below 1024 need privileges on this system. "
    "Give the program the capability to bind low ports (setcap cap_net_bind_service), "
    "or choose a port above 1023 in %2 (USERPORT=1 and PORT=2525, for example).";
// The same for an installed program, whose package gave it that capability
// at install time. %1: the port; %2: the executable; %3: the settings file.
inline constexpr char kPrivilegedPortInstalled[] =
    "Could not listen on port %1: ports below 1024 need privileges on this system. "
    "Run 'sudo setcap cap_net_bind_service=+ep %2' once, as the package does "
    "(it gives the program the right to use such ports), "
    "or choose a port above 1023 in %3 (USERPORT=1 and PORT=2525, for example).";
// Follows the listener's own failure text. %1: the port.
inline constexpr char kOnPort[] = " (port %1)";

}  // namespace app_text
