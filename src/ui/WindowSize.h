// Windows of a fixed frame start at their design size and grow where the
// desktop's font needs more room, so no text is ever cut off.
#pragma once

#include <QLayout>
#include <QWidget>

namespace ui {

// Fixes the window's size to the larger of its design size and what its
// layout needs.
inline void FixToContent(QWidget* window, QSize designSize) {
  window->layout()->activate();
  const QSize needed = window->layout()->totalSizeHint();
  window->setFixedSize(needed.expandedTo(designSize));
}

}  // namespace ui
