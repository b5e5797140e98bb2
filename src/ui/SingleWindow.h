// The rule every window of the program follows: at most one window of a kind.
// Each kind keeps one reference (a QPointer, so it clears itself when the
// window is destroyed). Asking for a window that is open brings it to the
// front; otherwise a new one is built, owned by the application (no parent),
// shown without modality and freed when it is closed.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace ui {

// Brings a window to the front: restored when minimised, raised and made the
// active window. Hidden or disabled windows are left alone.
inline void BringWindowToFront(QWidget* window) {
  if (window == nullptr || !window->isVisible() || !window->isEnabled()) return;
  if (window->isMinimized()) window->showNormal();
  window->raise();
  window->activateWindow();
}

// Shows the window of a kind. `create` builds a new window (with no parent)
// when none is open; it is called only then. Returns the window shown.
template <class Window, class Create>
Window* ShowSingleWindow(QPointer<Window>& reference, Create&& create) {
  if (reference) {
    BringWindowToFront(reference.data());
    return reference.data();
  }
  Window* window = create();
  window->setAttribute(Qt::WA_DeleteOnClose);
  reference = window;
  window->show();
  BringWindowToFront(window);
  return window;
}

}  // namespace ui
