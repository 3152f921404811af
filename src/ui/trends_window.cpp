#include "ui/trends_window.h"

#include <algorithm>
#include <cmath>

#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include "ui/window_fit.h"

namespace zart::ui {
namespace {

constexpr double kAxisStepSeconds = 30;
constexpr int kValueDivisions = 5;

const QColor kEngineColor(0x1F, 0x4E, 0xB4);
const QColor kShaftColor(0x2E, 0x8B, 0x2E);
const QColor kBatteryColor(0xC0, 0x60, 0x00);

// A rounded top for an axis holding values up to `top`.
double NiceTop(double top, double least) {
  top = std::max(top, least);
  const double step = std::pow(10.0, std::floor(std::log10(top)));
  return std::ceil(top * 1.1 / step) * step;
}

// Axis numbers in the user's notation, as on the main window, without
// thousands separators.
QString Number(double value, int decimals) {
  QLocale numbers;
  numbers.setNumberOptions(QLocale::OmitGroupSeparator);
  return numbers.toString(value, 'f', decimals);
}

}  // namespace

QString TrendsWindow::TimeOfDay(std::int64_t wallMs) {
  return QDateTime::fromMSecsSinceEpoch(wallMs).time().toString(QStringLiteral(u"HH:mm:ss"));
}

TrendsWindow::TrendsWindow(const monitor::TrendBuffer& trends, QWidget* parent)
    : QWidget(parent, Qt::Window), m_trends(trends) {
  setObjectName(QStringLiteral("frm_trends"));
  setWindowTitle(QStringLiteral(u"Графики"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  const QFontMetrics fm(font());
  WindowFit::Apply(this, QSize(std::max(900, fm.averageCharWidth() * 110), std::max(520, fm.height() * 30)));
  m_timer.setInterval(kRedrawMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { Redraw(); });
  Redraw();
}

void TrendsWindow::SetShaftShown(bool shown) {
  if (shown == m_shaftShown) return;
  m_shaftShown = shown;
  Redraw();
}

void TrendsWindow::Redraw() {
  m_runs = m_trends.Runs();
  double rpmTop = 0;
  double voltTop = 0;
  for (const auto& run : m_runs) {
    for (const monitor::TrendPoint& p : run) {
      rpmTop = std::max(rpmTop, p.engineRpm);
      if (m_shaftShown) rpmTop = std::max(rpmTop, p.shaftRpm);
      voltTop = std::max(voltTop, p.batteryVolts);
    }
  }
  // The time axis grows with the run in steps of half a minute until it
  // spans the ten minutes held, then moves along with them.
  const double newest = m_trends.NewestSeconds();
  m_timeTo = std::max(kAxisStepSeconds, std::ceil(newest / kAxisStepSeconds) * kAxisStepSeconds);
  m_timeFrom = std::max(0.0, m_timeTo - monitor::TrendBuffer::kWindowSeconds);
  // The wall clock at the monotonic clock's zero, from the newest point: the
  // axis is labelled in the time of day while its spacing stays monotonic.
  m_wallAtZeroMs = 0;
  if (!m_runs.empty() && !m_runs.back().empty()) {
    const monitor::TrendPoint& last = m_runs.back().back();
    m_wallAtZeroMs = last.wallMs - static_cast<std::int64_t>(std::llround(last.seconds * 1000.0));
  }
  m_rpmTop = NiceTop(rpmTop, 100);
  m_voltTop = NiceTop(voltTop, 10);
  update();
}

void TrendsWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Base));
  p.setRenderHint(QPainter::Antialiasing);
  const QFontMetrics fm(font());
  const int line = fm.height();
  const int gap = fm.averageCharWidth();

  struct Series {
    QColor color;
    QString name;
    double monitor::TrendPoint::*value;
    bool onRpmAxis;
  };
  std::vector<Series> series = {
      {kEngineColor, QStringLiteral(u"Обороты двигателя, об/мин"), &monitor::TrendPoint::engineRpm, true}};
  if (m_shaftShown) {
    series.push_back({kShaftColor, QStringLiteral(u"Обороты вала (ДРА), об/мин"), &monitor::TrendPoint::shaftRpm, true});
  }
  series.push_back({kBatteryColor, QStringLiteral(u"Напряжение АКБ, В"), &monitor::TrendPoint::batteryVolts, false});

  // The legend goes on one line under the time title when it fits the
  // window's width, one entry a line otherwise (large fonts, a narrow window).
  const int swatch = 2 * line;
  int legendWidth = 0;
  for (const Series& s : series) legendWidth += swatch + gap + fm.horizontalAdvance(s.name) + 2 * line;
  const bool stacked = legendWidth > width() - 2 * gap;
  const int legendLines = stacked ? static_cast<int>(series.size()) : 1;

  // Room for the numbers and titles around the plot.
  const int leftNumbers = fm.horizontalAdvance(Number(m_rpmTop, 0)) + gap;
  const int rightNumbers = fm.horizontalAdvance(Number(m_voltTop, 1)) + gap;
  const QRect plot(QPoint(gap + line + leftNumbers + gap, line),
                   QPoint(width() - 1 - (gap + line + rightNumbers + gap),
                          height() - 1 - ((3 + legendLines) * line + gap)));
  if (plot.width() < 20 || plot.height() < 20) return;

  const QColor text = palette().color(QPalette::Text);
  const QColor grid = palette().color(QPalette::Mid);
  auto x = [&](double seconds) {
    return plot.left() + (seconds - m_timeFrom) / (m_timeTo - m_timeFrom) * plot.width();
  };
  auto y = [&](double value, double top) { return plot.bottom() - value / top * plot.height(); };

  // Grid and numbers: five divisions up, a line every 30 or 60 seconds.
  p.setPen(QPen(grid, 0, Qt::DotLine));
  for (int i = 0; i <= kValueDivisions; ++i) {
    const double yy = plot.bottom() - double(i) * plot.height() / kValueDivisions;
    p.setPen(QPen(grid, 0, Qt::DotLine));
    p.drawLine(QPointF(plot.left(), yy), QPointF(plot.right(), yy));
    p.setPen(text);
    const QString rpm = Number(m_rpmTop * i / kValueDivisions, 0);
    const QString volt = Number(m_voltTop * i / kValueDivisions, 1);
    p.drawText(QRectF(plot.left() - gap - leftNumbers, yy - line / 2.0, leftNumbers, line),
               Qt::AlignRight | Qt::AlignVCenter, rpm);
    p.drawText(QRectF(plot.right() + gap, yy - line / 2.0, rightNumbers, line), Qt::AlignLeft | Qt::AlignVCenter, volt);
  }
  // Lines on whole 5, 10, 15, 30 or 60 seconds of the day, at most ten
  // across, labelled HH:MM:SS; a label stands only where the one before
  // leaves room for it.
  double step = 60;
  for (double s : {5.0, 10.0, 15.0, 30.0, 60.0}) {
    if ((m_timeTo - m_timeFrom) / s <= 10) {
      step = s;
      break;
    }
  }
  const double wallAtZero = static_cast<double>(m_wallAtZeroMs) / 1000.0;
  const int labelWidth = fm.horizontalAdvance(QStringLiteral(u"00:00:00")) + 2 * gap;
  double lastLabelRight = -1e9;
  for (double t = std::ceil((m_timeFrom + wallAtZero) / step) * step - wallAtZero; t <= m_timeTo + 1e-9; t += step) {
    const double xx = x(t);
    p.setPen(QPen(grid, 0, Qt::DotLine));
    p.drawLine(QPointF(xx, plot.top()), QPointF(xx, plot.bottom()));
    if (xx - labelWidth / 2.0 < lastLabelRight) continue;
    p.setPen(text);
    p.drawText(QRectF(xx - labelWidth / 2.0, plot.bottom() + gap / 2.0, labelWidth, line), Qt::AlignHCenter | Qt::AlignTop,
               TimeOfDay(m_wallAtZeroMs + static_cast<std::int64_t>(std::llround(t * 1000.0))));
    lastLabelRight = xx + labelWidth / 2.0;
  }
  p.setPen(text);
  p.drawRect(plot);

  // Axis titles: time below, speeds turned up the left, voltage the right.
  p.drawText(QRect(plot.left(), plot.bottom() + line + gap / 2, plot.width(), line), Qt::AlignCenter,
             QStringLiteral(u"Местное время, ч:мин:с"));
  auto verticalTitle = [&](double cx, double angle, const QString& title) {
    p.save();
    p.translate(cx, plot.center().y());
    p.rotate(angle);
    p.drawText(QRectF(-plot.height() / 2.0, -line / 2.0, plot.height(), line), Qt::AlignCenter, title);
    p.restore();
  };
  verticalTitle(gap + line / 2.0, -90, QStringLiteral(u"Обороты, об/мин"));
  verticalTitle(width() - gap - line / 2.0, 90, QStringLiteral(u"Напряжение АКБ, В"));

  // The lines, one per run, clipped to the plot.
  p.save();
  p.setClipRect(plot.adjusted(0, -1, 1, 1));
  for (const Series& s : series) {
    QPen pen(s.color);
    pen.setWidthF(1.5);
    p.setPen(pen);
    const double top = s.onRpmAxis ? m_rpmTop : m_voltTop;
    for (const auto& run : m_runs) {
      QPolygonF points;
      points.reserve(static_cast<qsizetype>(run.size()));
      for (const monitor::TrendPoint& point : run) points.append(QPointF(x(point.seconds), y(point.*s.value, top)));
      if (points.size() == 1) p.drawPoint(points.front());
      p.drawPolyline(points);
    }
  }
  p.restore();

  // The legend, centred under the time title.
  const int startX = stacked ? plot.left() : std::max(plot.left(), plot.center().x() - legendWidth / 2);
  int lx = startX;
  int ly = plot.bottom() + 2 * line + gap + line / 2;
  for (const Series& s : series) {
    QPen pen(s.color);
    pen.setWidthF(2.5);
    p.setPen(pen);
    p.drawLine(QPointF(lx, ly + line / 2.0), QPointF(lx + swatch, ly + line / 2.0));
    p.setPen(text);
    const int w = fm.horizontalAdvance(s.name);
    p.drawText(QRect(lx + swatch + gap, ly, w + gap, line), Qt::AlignLeft | Qt::AlignVCenter, s.name);
    if (stacked) {
      ly += line;
    } else {
      lx += swatch + gap + w + 2 * line;
    }
  }
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
