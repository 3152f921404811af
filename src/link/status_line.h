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

/// What the exchange shows on the main window. The exchange owns the state
/// behind it (the slave address, the link message); the window only shows.
class LinkView : public StatusLine {
 public:
  /// `cmb_slad` selects `address` (0..127): the address now in force, after
  /// the parameter editor's write of the controller's own address.
  virtual void SetSlaveAddress(int address) = 0;
  /// `lbl_tr_id`: the transaction number of the last heartbeat.
  virtual void SetTransactionId(int counter) = 0;
};

}  // namespace zart::link
