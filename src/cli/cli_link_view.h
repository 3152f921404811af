#pragma once

#include <functional>

#include <QString>

#include "link/status_line.h"

namespace zart::cli {

/// The main window's link controls for a run without a window: keeps the
/// status line and the slave address in force and, when `echo` is set,
/// passes each new status text on (to stderr, with --verbose).
class CliLinkView final : public link::LinkView {
 public:
  using Echo = std::function<void(const QString&)>;

  explicit CliLinkView(Echo echo = {}) : m_echo(std::move(echo)) {}

  QString StatusText() const override { return m_status; }
  void SetStatusText(const QString& text) override;
  void SetSlaveAddress(int address) override;
  void SetTransactionId(int) override {}

  /// The address a write of the controller's own address switched to; -1
  /// while none did.
  int SwitchedAddress() const { return m_switchedTo; }

 private:
  Echo m_echo;
  QString m_status;
  int m_switchedTo = -1;
};

}  // namespace zart::cli
