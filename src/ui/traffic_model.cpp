#include "ui/traffic_model.h"

#include <QBrush>
#include <QColor>

#include "link/frame_recorder.h"
#include "params/frame_description.h"

namespace zart::ui {

using link::ExchangeVerdict;
using params::FrameDescription;

namespace {

/// A frame's meaning, and over Modbus TCP its header in words after it.
QString WithHeader(const QString& meaning, std::span<const std::uint8_t> header) {
  if (header.empty()) return meaning;
  return meaning + QStringLiteral(u" (") + FrameDescription::MbapText(header) + QLatin1Char(')');
}

}  // namespace

TrafficModel::TrafficModel(const link::FrameRecorder& recorder, const params::FrameDescription& description,
                           QObject* parent)
    : QAbstractTableModel(parent), m_recorder(recorder), m_description(description) {
  // The first pull shows what the ring still holds from before the window
  // was opened: the fault that made the user open it is usually there.
  m_nextExchange = m_recorder.OldestNumber();
}

void TrafficModel::Pull() {
  // Exchanges the ring has already overwritten are skipped.
  if (m_nextExchange < m_recorder.OldestNumber()) m_nextExchange = m_recorder.OldestNumber();
  while (const link::RecordedExchange* e = m_recorder.Find(m_nextExchange)) {
    if (e->verdict == ExchangeVerdict::pending) break;
    ++m_nextExchange;
    const bool idle = FrameDescription::IsIdleRequest(e->Request()) && e->verdict == ExchangeVerdict::reply;
    const bool failed = e->verdict != ExchangeVerdict::reply;
    if (e->requestLength > 0) {
      Row request;
      request.cells[kTime] = QString::number(e->sentMs);
      request.cells[kDirection] = QStringLiteral(u"→ запрос");
      request.cells[kFrame] = FrameDescription::WireHex(e->RequestHeader(), e->Request());
      request.cells[kMeaning] = WithHeader(m_description.DescribeRequest(e->Request()), e->RequestHeader());
      if (e->repeat) request.cells[kVerdict] = QStringLiteral(u"повтор");
      request.idle = idle;
      AppendRow(std::move(request));
    }
    Row reply;
    reply.cells[kTime] = QString::number(e->judgedMs);
    reply.cells[kDirection] = QStringLiteral(u"← ответ");
    reply.cells[kFrame] = FrameDescription::WireHex(e->ReplyHeader(), e->Reply());
    if (e->verdict == ExchangeVerdict::reply || e->verdict == ExchangeVerdict::exception)
      reply.cells[kMeaning] = WithHeader(m_description.DescribeReply(e->Request(), e->Reply()), e->ReplyHeader());
    reply.cells[kVerdict] = FrameDescription::VerdictText(*e);
    reply.idle = idle;
    reply.failed = failed;
    AppendRow(std::move(reply));
  }
  // Trim in batches, so that rows leave the view once in a while, not at
  // every pull.
  if (m_rows.size() > static_cast<std::size_t>(kMaxRows)) {
    const std::uint64_t keepFrom = m_rowBase + m_rows.size() - (kMaxRows - kMaxRows / 10);
    std::size_t gone = 0;
    while (gone < m_visible.size() && m_visible[gone] < keepFrom) ++gone;
    if (gone > 0) {
      beginRemoveRows(QModelIndex(), 0, static_cast<int>(gone) - 1);
      m_visible.erase(m_visible.begin(), m_visible.begin() + static_cast<std::ptrdiff_t>(gone));
    }
    while (m_rowBase < keepFrom) {
      m_rows.pop_front();
      ++m_rowBase;
    }
    if (gone > 0) endRemoveRows();
  }
}

void TrafficModel::AppendRow(Row row) {
  const bool shown = !(m_hideIdle && row.idle);
  m_rows.push_back(std::move(row));
  if (!shown) return;
  const int at = static_cast<int>(m_visible.size());
  beginInsertRows(QModelIndex(), at, at);
  m_visible.push_back(m_rowBase + m_rows.size() - 1);
  endInsertRows();
}

void TrafficModel::Clear() {
  beginResetModel();
  m_rowBase += m_rows.size();
  m_rows.clear();
  m_visible.clear();
  endResetModel();
}

void TrafficModel::SetHideIdle(bool hide) {
  if (hide == m_hideIdle) return;
  m_hideIdle = hide;
  RebuildVisible();
}

void TrafficModel::RebuildVisible() {
  beginResetModel();
  m_visible.clear();
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    if (!(m_hideIdle && m_rows[i].idle)) m_visible.push_back(m_rowBase + i);
  }
  endResetModel();
}

const TrafficModel::Row& TrafficModel::Visible(int row) const {
  return m_rows[static_cast<std::size_t>(m_visible[static_cast<std::size_t>(row)] - m_rowBase)];
}

int TrafficModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_visible.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount) return {};
  const Row& row = Visible(index.row());
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return row.cells[index.column()];
  if (role == Qt::ForegroundRole && row.failed && index.column() == kVerdict) return QBrush(QColor(0xB0, 0x00, 0x00));
  if (role == Qt::TextAlignmentRole && index.column() == kTime)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  switch (section) {
    case kTime:
      return QStringLiteral(u"Время, мс");
    case kDirection:
      return QStringLiteral(u"Направление");
    case kFrame:
      return QStringLiteral(u"Кадр");
    case kMeaning:
      return QStringLiteral(u"Значение");
    case kVerdict:
      return QStringLiteral(u"Итог");
    default:
      return {};
  }
}

QStringList TrafficModel::RowTexts(int row) const {
  QStringList texts;
  const Row& r = Visible(row);
  for (const QString& cell : r.cells) texts << cell;
  return texts;
}

}  // namespace zart::ui
