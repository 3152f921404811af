#pragma once

#include <vector>

#include <QTimer>
#include <QWidget>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace zart::monitor {
class TrendBuffer;
}

namespace zart::ui {

/// "Графики": engine speed, propeller shaft speed (ДРА only) and battery
/// voltage over the last ten minutes, redrawn twice a second while shown.
/// A pause in the status replies is drawn as a gap: each run of replies
/// without a pause is a line of its own.
class TrendsWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRedrawMs = 500;

  TrendsWindow(const monitor::TrendBuffer& trends, QWidget* parent = nullptr);

  /// The object type of the newest reply: the shaft speed shows for ДРА.
  void SetShaftShown(bool shown);
  /// Redraws from the buffer now.
  void Redraw();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  struct Quantity {
    std::vector<QLineSeries*> runs;  // one line per run; spare ones are empty
    QColor color;
    QString name;
    QValueAxis* axis = nullptr;
  };
  QLineSeries* RunSeries(Quantity& q, std::size_t run);

  const monitor::TrendBuffer& m_trends;
  QChart* m_chart = nullptr;
  QChartView* m_view = nullptr;
  QValueAxis* m_timeAxis = nullptr;
  QValueAxis* m_rpmAxis = nullptr;
  QValueAxis* m_voltAxis = nullptr;
  Quantity m_engine;
  Quantity m_shaft;
  Quantity m_battery;
  bool m_shaftShown = true;  // the constructor hides the shaft until a ДРА reply
  QTimer m_timer;
};

}  // namespace zart::ui
