#pragma once

#include <QString>

namespace zart::link {

/// The main window's one-line status label `lbl_sys_mes`. The link, the
/// settings file, the port dialog and the parameter files all write their
/// messages here.
class StatusLine {
 public:
  virtual ~StatusLine() = default;
  virtual QString StatusText() const = 0;
  virtual void SetStatusText(const QString& text) = 0;
  /// Sets the text and repaints the label at once, for messages shown before
  /// a long operation blocks the event loop.
  virtual void ShowStatusNow(const QString& text) { SetStatusText(text); }
};

/// What the exchange reads from and writes to the main window.
class LinkView : public StatusLine {
 public:
  /// The selected entry of `cmb_slad`, which is the slave address 0..127.
  virtual int SlaveAddress() const = 0;
  virtual void SetSlaveAddress(int address) = 0;
  /// The check state of the hidden `chk_armoff` ("Откл. защит").
  virtual bool ProtectionOff() const = 0;
  /// `lbl_tr_id`: the transaction number of the last heartbeat.
  virtual void SetTransactionId(int counter) = 0;
};

}  // namespace zart::link
