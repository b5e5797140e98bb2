// Message boxes: "Information", "Error" and "Confirm". In a headless run they
// go to standard error as one line each. Every box of the program goes
// through here, so a test installs a responder that answers them instead and
// no modal box ever blocks it.
#pragma once

#include <QString>
#include <functional>

class QWidget;

class UserMessages {
 public:
  enum class Kind { Information, Error, Confirm };
  // Receives every message instead of a box; returns the answer to Confirm.
  using Recorder = std::function<bool(Kind, const QString&)>;

  static void SetHeadless(bool headless);
  static bool Headless();
  static void SetRecorder(Recorder recorder);
  static const char* Caption(Kind kind);

  // Answers every message in place of a box while it lives and puts back the
  // previous responder when it ends.
  class ScopedResponder {
   public:
    explicit ScopedResponder(Recorder responder);
    ~ScopedResponder();
    ScopedResponder(const ScopedResponder&) = delete;
    ScopedResponder& operator=(const ScopedResponder&) = delete;

   private:
    Recorder previous_;
  };

  static void Information(const QString& text, QWidget* parent = nullptr);
  static void Error(const QString& text, QWidget* parent = nullptr);
  // OK gives true, Cancel false; headless runs answer OK.
  static bool Confirm(const QString& text, QWidget* parent = nullptr);
};
