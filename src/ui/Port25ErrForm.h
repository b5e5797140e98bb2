// The warning window of the two problem warnings (a run of sending errors,
// no DNS server): an icon, the warning's text wrapped at a fixed width, OK
// and Help. Modeless; freed when closed.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/WindowHost.h"

namespace Ui {
class TPort25ErrForm;
}

class TPort25ErrForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kDefaultHelpTopic = 1006;

  explicit TPort25ErrForm(ui::WindowHost& host, QWidget* parent = nullptr);
  ~TPort25ErrForm() override;

  // Set by the opener before the window is shown.
  void SetWarningText(const QString& text) { warningText_ = text; }
  void SetHelpTopic(int topic) { helpTopic_ = topic; }
  int HelpTopic() const { return helpTopic_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();

  std::unique_ptr<Ui::TPort25ErrForm> form_;
  ui::WindowHost& host_;
  QString warningText_;
  int helpTopic_ = kDefaultHelpTopic;
};
