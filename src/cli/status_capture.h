#pragma once

#include <array>
#include <map>

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "link/rx_store.h"
#include "monitor/status_sample.h"
#include "monitor/status_view.h"

namespace zart::cli {

/// What the main window would show for a status reply, kept for printing:
/// the status decoder writes into it as into the window, so the command
/// line shows the same texts, lamps and signals.
class StatusCapture final : public monitor::StatusView {
 public:
  /// The caption of lamp `bit` (0..10), as the main window labels it.
  static QString LampCaption(int bit);

  void SetValueText(monitor::ValueLabel label, const QString& text) override { m_values[label] = text; }
  void SetFaultText(int index, const QString& text) override;
  void SetLampLit(int index, bool lit) override;
  void SetLampVisible(int index, bool visible) override;
  void SetSignalLit(int index, bool lit) override;
  void SetPropSpeedVisible(bool visible) override { m_propVisible = visible; }
  void SetParamMenuEnabled(bool) override {}
  void SetBlockedBannerVisible(bool visible) override { m_blocked = visible; }
  void SetStale(bool, const QString&) override {}

  /// Keeps the raw values of the reply the decoder has just shown, for the
  /// versions without the blocked flag and the numbers of Json().
  void Record(const link::RxStore& rx);

  /// A label's text with the blanks the window pads it with taken out
  /// ("2 .5 " reads "2.5", "24.2 " reads "24.2"); "-" before any reply.
  QString Value(monitor::ValueLabel label) const;
  /// Captions of the lamps lit among those the object type shows.
  QStringList LitLamps() const;
  /// Numbers of the visible signal cells (1..255) that are lit.
  QList<int> LitSignals() const;
  bool Blocked() const { return m_blocked; }
  bool ShaftShown() const { return m_propVisible; }

  /// "Тип объекта: ДГУ", one line per value, for a person.
  QString Text(int slaveAddress) const;
  /// The same with the raw register values beside, for a script.
  QJsonObject Json(int slaveAddress) const;

 private:
  monitor::StatusSample m_sample;
  int m_protocol = 0;
  int m_software = 0;
  std::array<int, 2> m_faultWords{};
  std::map<monitor::ValueLabel, QString> m_values;
  std::array<QString, monitor::StatusView::kFaultCount> m_faults{};
  std::array<bool, monitor::StatusView::kLampCount> m_lampLit{};
  // Lamps shown for both object types are never switched, so all start shown.
  std::array<bool, monitor::StatusView::kLampCount> m_lampVisible = [] {
    std::array<bool, monitor::StatusView::kLampCount> all{};
    all.fill(true);
    return all;
  }();
  std::array<bool, monitor::StatusView::kSignalCount> m_signals{};
  bool m_propVisible = false;
  bool m_blocked = false;
};

}  // namespace zart::cli
