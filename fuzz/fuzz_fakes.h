#pragma once

#include <QString>

#include "link/status_line.h"
#include "monitor/status_view.h"
#include "settings/prompter.h"

namespace zart::fuzz {

class View : public link::LinkView, public monitor::StatusView {
 public:
  QString StatusText() const override { return m_status; }
  void SetStatusText(const QString& text) override { m_status = text; }
  void SetSlaveAddress(int address) override { m_address = address; }
  void SetTransactionId(int) override {}

  void SetValueText(monitor::ValueLabel, const QString& text) override { m_last = text; }
  void SetFaultText(int, const QString& text) override { m_last = text; }
  void SetLampLit(int, bool) override {}
  void SetLampVisible(int, bool) override {}
  void SetSignalLit(int, bool) override {}
  void SetPropSpeedVisible(bool) override {}
  void SetParamMenuEnabled(bool) override {}
  void SetBlockedBannerVisible(bool) override {}
  void SetStale(bool, const QString&) override {}

 private:
  QString m_status;
  QString m_last;
  int m_address = 7;
};

/// Answers every message box with Cancel, so no operation loops on Retry.
class CancelPrompter : public settings::Prompter {
 public:
  settings::Answer Ask(const settings::Message&) override { return settings::Answer::cancel; }
};

}  // namespace zart::fuzz
