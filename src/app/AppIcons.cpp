#include "app/AppIcons.h"

#include <QString>

namespace {

struct IconRow {
  AppIcon which;
  const char* themeName;  // standard name in the desktop's icon theme
  const char* bundled;    // resource path of our own drawing
};

// clang-format off
constexpr IconRow kIcons[] = {
    {AppIcon::Tray,          nullptr,                 ":/icons/postwick.svg"},
    {AppIcon::Open,          "window-new",            ":/icons/open.svg"},
    {AppIcon::Log,           "text-x-generic",        ":/icons/log.svg"},
    {AppIcon::Configure,     "preferences-system",    ":/icons/configure.svg"},
    {AppIcon::HomePage,      "go-home",               ":/icons/home.svg"},
    {AppIcon::OtherProducts, "applications-other",    ":/icons/products.svg"},
    {AppIcon::ContactUs,     "mail-message-new",      ":/icons/contact.svg"},
    {AppIcon::Help,          "help-contents",         ":/icons/help.svg"},
    {AppIcon::About,         "help-about",            ":/icons/about.svg"},
    {AppIcon::Exit,          "application-exit",      ":/icons/exit.svg"},
    {AppIcon::Warning,       "dialog-warning",        ":/icons/warning.svg"},
    {AppIcon::Information,   "dialog-information",    ":/icons/information.svg"},
    {AppIcon::Error,         "dialog-error",          ":/icons/error.svg"},
    {AppIcon::Question,      "dialog-question",       ":/icons/question.svg"},
    {AppIcon::PortTest,      "network-transmit-receive", ":/icons/network.svg"},
    {AppIcon::Tip,           "help-hint",             ":/icons/tip.svg"},
    {AppIcon::Sent,          "emblem-ok",             ":/icons/sent.svg"},
    {AppIcon::Failed,        "emblem-important",      ":/icons/failed.svg"},
};
// clang-format on

const IconRow& RowOf(AppIcon which) {
  for (const IconRow& row : kIcons)
    if (row.which == which) return row;
  return kIcons[0];
}

}  // namespace

QIcon BundledAppIcon(AppIcon which) { return QIcon(QString::fromLatin1(RowOf(which).bundled)); }

QIcon MakeAppIcon(AppIcon which) {
  const IconRow& row = RowOf(which);
  if (row.themeName == nullptr) return BundledAppIcon(which);
  return QIcon::fromTheme(QString::fromLatin1(row.themeName), BundledAppIcon(which));
}
