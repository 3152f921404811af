#pragma once

#include <QString>
#include <QStringList>

#include "link/status_line.h"

namespace zart::testing {

/// The main window's link controls, recorded.
class FakeLinkView : public link::LinkView {
 public:
  int slaveAddress = 7;  // the address the window shows
  int transactionId = -1;
  QString status;
  QStringList statusHistory;  // every text set, in order

  QString StatusText() const override { return status; }
  void SetStatusText(const QString& text) override {
    status = text;
    statusHistory << text;
  }
  void SetSlaveAddress(int address) override { slaveAddress = address; }
  void SetTransactionId(int counter) override { transactionId = counter; }
};

}  // namespace zart::testing
