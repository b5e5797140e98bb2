// What the program itself says to the user outside the SMTP dialog and the
// settings boxes: the headless lines on standard error and the reasons it
// cannot listen, spelled as the user sees them.
#pragma once

namespace app_text {

inline constexpr char kNoDisplay[] = "No display found: Postwick runs headless.";
// %1: the display, as DISPLAY or WAYLAND_DISPLAY names it.
inline constexpr char kDisplaySilent[] = "The display %1 does not answer: Postwick runs headless.";

// The talk between instances. %1: what went wrong, or the file concerned.
inline constexpr char kNoPrivateFolder[] =
    "Postwick cannot keep to one running copy: %1. Postwick ends so that no second relay runs unnoticed.";
inline constexpr char kNoInstanceLock[] =
    "Postwick cannot create its lock file %1. Postwick ends so that no second relay runs unnoticed.";
inline constexpr char kNoInstanceChannel[] =
    "Postwick cannot open its channel %1 for later starts to reach it. "
    "Postwick ends so that no second relay runs unnoticed.";
inline constexpr char kInstanceDoesNotAnswer[] =
    "Another Postwick for the same files is starting or does not answer; try again in a moment.";

// The settings and the log cannot be saved. %1: the folder.
inline constexpr char kNoUserFolder[] =
    "Could not create the folder %1 for the settings and the log: Postwick runs, but what it stores "
    "cannot be saved.";
inline constexpr char kUserFolderNotWritable[] =
    "Could not write in the folder %1: Postwick runs, but the settings and the log cannot be saved there.";

// Headless stand-ins for the windows: one line each on standard error.
// The warnings print their own texts (log/ProblemWarnings.h).
inline constexpr char kHeadlessOpen[] = "Open: running headless, there is no window to show.";

// No tray to show the icon in (stderr and an information box).
inline constexpr char kNoTray[] =
    "No system tray was found, so Postwick's icon cannot be shown. Postwick keeps relaying mail and "
    "shows its icon as soon as a tray appears.";

// A save of the log failed. %1: the log file.
inline constexpr char kLogSaveFailed[] =
    "Could not save the log to %1 (the disk may be full or the folder read-only). The records are kept "
    "in memory and saving is tried again every few seconds.";

// Headless: the listener runs. %1: the port; %2: who may connect; %3: the
// DNS server in use.
inline constexpr char kHeadlessListening[] = "Listening on port %1, %2; DNS server: %3.";
inline constexpr char kFromThisComputerOnly[] = "accepting connections from this computer only";
inline constexpr char kFromAnyComputer[] = "accepting connections from any computer";
inline constexpr char kNoDnsServer[] = "none known";
// Headless: the DNS server in use changed. %1: the new one.
inline constexpr char kHeadlessDnsServer[] = "DNS server now in use: %1.";

// With --verbose, on a desktop too: this, then how the copy went
// ("ann@a.test via mx.a.test: TLS (TLSv1.3, certificate verified)").
inline constexpr char kDeliveredCopy[] = "Delivered: ";

// The listener could not bind a port below 1024 for want of privileges.
// %1: the port; %2: the settings file.
inline constexpr char kPrivilegedPort[] =
    "Could not listen on port %1: ports below 1024 need privileges on this system. "
    "Give the program the capability to bind low ports (setcap cap_net_bind_service), "
    "or choose a port above 1023 in %2 (USERPORT=1 and PORT=2525, for example).";
// The settings file is far larger than settings can be (a stray or damaged
// file). %1: the file; %2: how many KiB of it were read.
inline constexpr char kSettingsFileTooLarge[] =
    "The settings file %1 is too large to be a settings file: only its first %2 KiB were read, "
    "the rest is ignored.";

// The stored port is no port number, so nothing is bound. %1: the stored
// text; %2: the settings file.
inline constexpr char kInvalidListenPort[] =
    "Could not listen: the port \"%1\" in the settings is not a whole number from 1 to 65535. "
    "Correct PORT in %2 (USERPORT=1 and PORT=2525, for example).";

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
