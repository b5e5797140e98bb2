// The port-in-use dialog, shown modally when the listener cannot listen on
// its port at start: free the port (nothing is stored) or use another port
// (stored as the user's port). The program ends after it either way and
// uses the choice at its next start.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/WindowHost.h"

namespace Ui {
class TPortChangeForm;
}

class TPortChangeForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPortChangeForm(ui::WindowHost& host, QWidget* parent = nullptr);
  ~TPortChangeForm() override;

 private:
  void RadioButton1Click();
  void Button1Click();

  std::unique_ptr<Ui::TPortChangeForm> form_;
  ui::WindowHost& host_;
};

// Shows the dialog modally and frees it.
void ShowPortChangeForm(ui::WindowHost& host);
