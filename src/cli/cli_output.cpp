#include "cli/cli_output.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>

#include "params/param_files.h"
#include "params/slot_names.h"

namespace zart::cli {

namespace {

constexpr int kBarWidth = 24;

QString Shown(const QString& value) { return value.trimmed(); }

}  // namespace

CliOutput::CliOutput(Sink out, Sink err, bool json, bool quiet, bool progressOnTerminal)
    : m_out(std::move(out)), m_err(std::move(err)), m_json(json), m_quiet(quiet), m_progress(progressOnTerminal && !quiet) {}

void CliOutput::Result(const QString& text) {
  if (m_json || text.isEmpty()) return;
  EndProgress();
  m_out(text.endsWith(u'\n') ? text : text + u'\n');
}

void CliOutput::Document(const QJsonObject& document) {
  if (!m_json) return;
  EndProgress();
  m_out(QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Compact)) + u'\n');
}

void CliOutput::Message(const QString& text) {
  if (m_quiet || text.isEmpty()) return;
  EndProgress();
  m_err(text + u'\n');
}

void CliOutput::Error(const QString& text) {
  EndProgress();
  m_err(QStringLiteral(u"zart-cli: ") + text + u'\n');
}

void CliOutput::Progress(const QString& what, int done, int total) {
  if (!m_progress || total <= 0) return;
  const int filled = std::clamp(done * kBarWidth / total, 0, kBarWidth);
  const QString line = what + QStringLiteral(u"  [") + QString(filled, u'#') + QString(kBarWidth - filled, u' ') +
                       QStringLiteral(u"]  %1 / %2").arg(done).arg(total);
  if (line == m_lastProgress) return;
  m_lastProgress = line;
  m_progressShown = true;
  // Back to the line's start and clear it: the count is written in place.
  m_err(QStringLiteral(u"\r\x1b[K") + line);
}

void CliOutput::EndProgress() {
  if (!m_progressShown) return;
  m_progressShown = false;
  m_lastProgress.clear();
  m_err(QStringLiteral(u"\r\x1b[K"));
}

QString CliOutput::StateKey(params::DiffState state) {
  switch (state) {
    case params::DiffState::differs:
      return QStringLiteral("differs");
    case params::DiffState::missing:
      return QStringLiteral("missing");
    case params::DiffState::notRead:
      return QStringLiteral("notRead");
    case params::DiffState::invalid:
      return QStringLiteral("invalid");
  }
  return QString();
}

QString CliOutput::DiffText(const params::DiffList& list, const Sides& sides) {
  QString text;
  for (const params::DiffEntry& e : list.entries) {
    const auto side = [](const QString& caption, const QString& value) {
      return caption + u' ' + (value.isNull() ? QStringLiteral(u"—") : QStringLiteral(u"«") + Shown(value) + QStringLiteral(u"»"));
    };
    text += params::ParamFiles::ParamFileKey(e.slot) + u' ' + params::SlotName(e.slot) + QStringLiteral(u" [") +
            params::SlotPageTitle(e.slot) + QStringLiteral(u"]: ") + side(sides.leftText, e.left) + QStringLiteral(u", ") +
            side(sides.rightText, e.right);
    if (e.state != params::DiffState::differs) text += QStringLiteral(u" (") + params::ParamDiff::StateText(e.state) + u')';
    if (!e.note.isEmpty()) text += QStringLiteral(u" — ") + e.note;
    text += u'\n';
  }
  return text;
}

QJsonObject CliOutput::DiffJson(const params::DiffList& list, const Sides& sides) {
  QJsonArray entries;
  for (const params::DiffEntry& e : list.entries) {
    QJsonObject o;
    o[QStringLiteral("slot")] = e.slot;
    o[QStringLiteral("key")] = params::ParamFiles::ParamFileKey(e.slot);
    o[QStringLiteral("name")] = params::SlotName(e.slot);
    o[QStringLiteral("page")] = params::SlotPageTitle(e.slot);
    o[sides.leftKey] = e.left.isNull() ? QJsonValue() : QJsonValue(Shown(e.left));
    o[sides.rightKey] = e.right.isNull() ? QJsonValue() : QJsonValue(Shown(e.right));
    o[QStringLiteral("state")] = StateKey(e.state);
    if (!e.note.isEmpty()) o[QStringLiteral("note")] = e.note;
    entries.append(o);
  }
  QJsonObject o;
  o[QStringLiteral("differences")] = entries;
  o[QStringLiteral("differ")] = list.differs;
  o[QStringLiteral("missing")] = list.missing;
  if (list.invalid > 0) o[QStringLiteral("invalid")] = list.invalid;
  o[QStringLiteral("summary")] = list.summary;
  return o;
}

}  // namespace zart::cli
