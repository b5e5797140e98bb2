// The program's icons: the desktop's icon theme first, so the program looks
// native on any desktop, and our own drawings (SVGs compiled in as resources)
// where the theme has no such icon or there is no theme at all.
#pragma once

#include <QIcon>

enum class AppIcon {
  // The application: tray and window icon.
  Tray,
  // The controller's actions (menu items and the main window's buttons).
  Open,
  Log,
  Configure,
  HomePage,
  OtherProducts,
  ContactUs,
  Help,
  About,
  Exit,
  // Dialog images (32 x 32).
  Warning,
  Information,
  Error,
  Question,
  PortTest,
  // Small images: the main window's tip, a log record's outcome.
  Tip,
  Sent,
  Failed,
};

// The theme's icon for `which`, else the bundled one.
QIcon MakeAppIcon(AppIcon which);
// Only the bundled icon; for tests and for pictures that must look the same
// everywhere.
QIcon BundledAppIcon(AppIcon which);
