// The mail program configuration window: lists the accounts of the user's
// mail programs with a tick for each one that goes through this relay; Ok
// points newly ticked accounts at the relay and gives cleared ones their
// former server back. Further pages tell how to configure other programs
// by hand and run the outgoing port 25 test.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

#include "core/MailAccountSource.h"
#include "ui/PortProbe.h"

namespace Ui {
class TMailCfgForm;
}
namespace ui {
class WindowHost;
}

class TMailCfgForm : public QDialog {
  Q_OBJECT

 public:
  // The row's values, kept with each row of the account list.
  enum RowRole {
    kAccountLineRole = Qt::UserRole,  // the MailAccount line
    kSourceRole,                      // index of the row's source
    kLoadedTickRole,                  // "1" or "0": the tick when the list was filled
  };

  TMailCfgForm(ui::WindowHost& host, MailAccountSources sources, ui::ProbeTarget portTest,
               QWidget* parent = nullptr);
  ~TMailCfgForm() override;

  // Fills the account list (ReadMailAccounts of every source).
  void FillAccounts();
  // Runs the port 25 test dialog modally and says how it went.
  void RunPortTest();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Button1Click();
  void FitToContent();

  std::unique_ptr<Ui::TMailCfgForm> form_;
  ui::WindowHost& host_;
  MailAccountSources sources_;
  ui::ProbeTarget portTest_;
  bool filled_ = false;
};

// ShowMailCfgForm: the one configuration window, built when none is open,
// else brought to the front.
TMailCfgForm* ShowMailCfgForm(ui::WindowHost& host, const std::function<MailAccountSources()>& sources,
                              ui::ProbeTarget portTest);
