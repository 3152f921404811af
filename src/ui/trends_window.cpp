#include "ui/trends_window.h"

#include <algorithm>
#include <cmath>

#include <QChart>
#include <QChartView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QValueAxis>
#include <QVBoxLayout>

#include "monitor/trend_buffer.h"

namespace zart::ui {
namespace {

constexpr double kAxisStepSeconds = 30;

// A rounded top for an axis holding values up to `top`.
double NiceTop(double top, double least) {
  top = std::max(top, least);
  const double step = std::pow(10.0, std::floor(std::log10(top)));
  return std::ceil(top * 1.1 / step) * step;
}

}  // namespace

TrendsWindow::TrendsWindow(const monitor::TrendBuffer& trends, QWidget* parent)
    : QWidget(parent, Qt::Window), m_trends(trends) {
  setObjectName(QStringLiteral("frm_trends"));
  setWindowTitle(QStringLiteral(u"Графики"));
  m_chart = new QChart;
  // Axis numbers in the user's notation, as on the main window, without
  // thousands separators.
  QLocale numbers;
  numbers.setNumberOptions(QLocale::OmitGroupSeparator);
  m_chart->setLocale(numbers);
  m_chart->setLocalizeNumbers(true);
  m_chart->legend()->setAlignment(Qt::AlignBottom);
  m_timeAxis = new QValueAxis;
  m_timeAxis->setTitleText(QStringLiteral(u"Время от запуска, с"));
  m_timeAxis->setLabelFormat(QStringLiteral(u"%.0f"));
  m_rpmAxis = new QValueAxis;
  m_rpmAxis->setTitleText(QStringLiteral(u"Обороты, об/мин"));
  m_rpmAxis->setLabelFormat(QStringLiteral(u"%.0f"));
  m_voltAxis = new QValueAxis;
  m_voltAxis->setTitleText(QStringLiteral(u"Напряжение АКБ, В"));
  m_voltAxis->setLabelFormat(QStringLiteral(u"%.1f"));
  m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
  m_chart->addAxis(m_rpmAxis, Qt::AlignLeft);
  m_chart->addAxis(m_voltAxis, Qt::AlignRight);

  m_engine = Quantity{{}, QColor(0x1F, 0x4E, 0xB4), QStringLiteral(u"Обороты двигателя, об/мин"), m_rpmAxis};
  m_shaft = Quantity{{}, QColor(0x2E, 0x8B, 0x2E), QStringLiteral(u"Обороты вала (ДРА), об/мин"), m_rpmAxis};
  m_battery = Quantity{{}, QColor(0xC0, 0x60, 0x00), QStringLiteral(u"Напряжение АКБ, В"), m_voltAxis};
  // The first line of each quantity exists from the start, so the legend
  // names all three before the first reply.
  RunSeries(m_engine, 0);
  RunSeries(m_shaft, 0);
  RunSeries(m_battery, 0);

  m_view = new QChartView(m_chart, this);
  m_view->setRenderHint(QPainter::Antialiasing);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_view);
  resize(900, 520);

  m_timer.setInterval(kRedrawMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { Redraw(); });
  SetShaftShown(false);
  Redraw();
}

QLineSeries* TrendsWindow::RunSeries(Quantity& q, std::size_t run) {
  while (q.runs.size() <= run) {
    auto* series = new QLineSeries;
    series->setName(q.name);
    QPen pen(q.color);
    pen.setWidthF(1.5);
    series->setPen(pen);
    m_chart->addSeries(series);
    series->attachAxis(m_timeAxis);
    series->attachAxis(q.axis);
    // One legend entry per quantity, however many runs it has.
    if (!q.runs.empty()) {
      for (QLegendMarker* marker : m_chart->legend()->markers(series)) marker->setVisible(false);
      series->setVisible(q.runs.front()->isVisible());
    }
    q.runs.push_back(series);
  }
  return q.runs[run];
}

void TrendsWindow::SetShaftShown(bool shown) {
  if (shown == m_shaftShown) return;
  m_shaftShown = shown;
  for (QLineSeries* series : m_shaft.runs) series->setVisible(shown);
  if (!m_shaft.runs.empty()) {
    for (QLegendMarker* marker : m_chart->legend()->markers(m_shaft.runs.front())) marker->setVisible(shown);
  }
}

void TrendsWindow::Redraw() {
  const auto runs = m_trends.Runs();
  double rpmTop = 0;
  double voltTop = 0;
  QList<QPointF> engine;
  QList<QPointF> shaft;
  QList<QPointF> battery;
  for (std::size_t r = 0; r < std::max(runs.size(), m_engine.runs.size()); ++r) {
    engine.clear();
    shaft.clear();
    battery.clear();
    if (r < runs.size()) {
      for (const monitor::TrendPoint& p : runs[r]) {
        engine.append(QPointF(p.seconds, p.engineRpm));
        shaft.append(QPointF(p.seconds, p.shaftRpm));
        battery.append(QPointF(p.seconds, p.batteryVolts));
        rpmTop = std::max(rpmTop, p.engineRpm);
        if (m_shaftShown) rpmTop = std::max(rpmTop, p.shaftRpm);
        voltTop = std::max(voltTop, p.batteryVolts);
      }
    }
    RunSeries(m_engine, r)->replace(engine);
    RunSeries(m_shaft, r)->replace(shaft);
    RunSeries(m_battery, r)->replace(battery);
  }
  // The time axis grows with the run in steps of half a minute until it
  // spans the ten minutes held, then moves along with them.
  const double newest = m_trends.NewestSeconds();
  const double right = std::max(kAxisStepSeconds, std::ceil(newest / kAxisStepSeconds) * kAxisStepSeconds);
  m_timeAxis->setRange(std::max(0.0, right - monitor::TrendBuffer::kWindowSeconds), right);
  m_rpmAxis->setRange(0, NiceTop(rpmTop, 100));
  m_voltAxis->setRange(0, NiceTop(voltTop, 10));
}

void TrendsWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Redraw();
  m_timer.start();
}

void TrendsWindow::hideEvent(QHideEvent* event) {
  m_timer.stop();
  QWidget::hideEvent(event);
}

}  // namespace zart::ui
