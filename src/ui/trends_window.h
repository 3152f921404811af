#pragma once

#include <cstdint>
#include <vector>

#include <QColor>
#include <QTimer>
#include <QWidget>

#include "monitor/trend_buffer.h"

namespace zart::ui {

/// "Графики": engine speed, propeller shaft speed (ДРА only) and battery
/// voltage over the last ten minutes against the local time of day, redrawn
/// twice a second while shown.
/// A pause in the status replies is drawn as a gap: each run of replies
/// without a pause is a line of its own. Speeds read on the left axis,
/// the voltage on the right one.
class TrendsWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRedrawMs = 500;

  TrendsWindow(const monitor::TrendBuffer& trends, QWidget* parent = nullptr);

  /// The object type of the newest reply: the shaft speed shows for ДРА.
  void SetShaftShown(bool shown);
  bool ShaftShown() const { return m_shaftShown; }
  /// Takes the buffer's points and scales now, and repaints.
  void Redraw();

  /// The axes' spans after the last Redraw: time from..to in seconds since
  /// start, speeds and voltage from 0 to their tops.
  double TimeFrom() const { return m_timeFrom; }
  double TimeTo() const { return m_timeTo; }
  double RpmTop() const { return m_rpmTop; }
  double VoltTop() const { return m_voltTop; }
  /// The wall clock at the start of the monotonic time axis, ms since the
  /// epoch; the axis is labelled with local times of day from it.
  std::int64_t WallAtZeroMs() const { return m_wallAtZeroMs; }
  /// "12:03:30" for a wall clock time.
  static QString TimeOfDay(std::int64_t wallMs);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  const monitor::TrendBuffer& m_trends;
  std::vector<std::vector<monitor::TrendPoint>> m_runs;
  double m_timeFrom = 0;
  double m_timeTo = 30;
  double m_rpmTop = 100;
  double m_voltTop = 10;
  std::int64_t m_wallAtZeroMs = 0;
  bool m_shaftShown = false;
  QTimer m_timer;
};

}  // namespace zart::ui
