// Whether the desktop named by the environment answers, found out before
// any GUI application exists: Qt aborts the process when its display cannot
// be reached and blocks for ever on one that accepts but never answers.
#pragma once

#include <chrono>
#include <string>

struct DisplayCheck {
  enum class State {
    kUsable,  // answers, or a platform that needs no display
    kNone,    // no display is named
    kSilent,  // a display is named but does not answer
  };
  State state = State::kNone;
  std::string display;  // the display that was tried
};

// Looks at QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY. A platform other
// than xcb or wayland named in QT_QPA_PLATFORM is taken as it is (offscreen
// and vnc need no display). An X11 display must answer the start of the X11
// connection set-up within `limit`; a Wayland display must accept a
// connection.
DisplayCheck CheckDisplay(std::chrono::milliseconds limit);

// True when the X11 display named like DISPLAY (":0", ":1.0", "unix:2",
// "localhost:10.0") accepts a connection and answers the connection set-up
// within the limit, whatever the answer (even a refusal of authorization,
// which Qt's own connection may still pass with the user's cookie).
bool X11DisplayAnswers(const std::string& display, std::chrono::milliseconds limit);

// The platforms for Qt to try in order: the one the user or the session
// asks for, then "offscreen", so that a display that fails after all makes
// a headless program instead of an aborted one.
std::string PlatformsToTry();
