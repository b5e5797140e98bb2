// The main window: the relay's status (recipients sent and failed, thread
// load) and the settings the user may change (DNS server, listening port,
// local connections only), with large buttons to the other windows and the
// controller's actions. It owns no setting and no counter: it reads them
// from the controller and stores through it.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "ui/WindowHost.h"

namespace Ui {
class TWatchForm;
}
class QMenu;

class TWatchForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 200;

  explicit TWatchForm(ui::WindowHost& host, QWidget* parent = nullptr);
  ~TWatchForm() override;

  // Puts the stored settings into the controls; both Apply buttons disabled.
  void FormShow();
  // The 200 ms status refresh.
  void Timer1Timer();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ChangeDNSButton(int index);
  void ApplyExec();
  void PortButtonsGroupChange(int index);
  void ApplyPortClick();
  void ExitButtonClick();
  void SetTipLinkColour(const QColor& colour);
  int SelectedDnsItem() const;
  int SelectedPortItem() const;

  std::unique_ptr<Ui::TWatchForm> form_;
  ui::WindowHost& host_;
  QMenu* homeMenu_ = nullptr;
  QTimer timer1_;
};

// Opens the main window, or brings the open one to the front.
TWatchForm* ShowMainWindow(ui::WindowHost& host);
