// Message boxes: "Information", "Error" and "Confirm". In a headless run they
// go to standard error as one line each. Tests can capture them instead.
#pragma once

#include <functional>

#include <QString>

class QWidget;

class UserMessages {
 public:
  enum class Kind { Information, Error, Confirm };
  // Receives every message instead of a box; returns the answer to Confirm.
  using Recorder = std::function<bool(Kind, const QString&)>;

  static void SetHeadless(bool headless);
  static bool Headless();
  static void SetRecorder(Recorder recorder);

  static void Information(const QString& text, QWidget* parent = nullptr);
  static void Error(const QString& text, QWidget* parent = nullptr);
  // OK gives true, Cancel false; headless runs answer OK.
  static bool Confirm(const QString& text, QWidget* parent = nullptr);
};
