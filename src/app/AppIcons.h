// The icons of the tray and of the menu items, drawn at run time so the
// program ships no image files.
#pragma once

#include <QIcon>

enum class AppIcon { Tray, Open, Log, Configure, HomePage, OtherProducts, ContactUs, Help, About, Exit };

QIcon MakeAppIcon(AppIcon which);
