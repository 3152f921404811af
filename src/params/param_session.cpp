#include "params/param_session.h"

#include <algorithm>

#include <QDateTime>
#include <QStringList>

#include "link/exchange_cycle.h"
#include "link/status_line.h"
#include "params/slot_names.h"
#include "settings/prompter.h"

namespace zart::params {

namespace {

constexpr int kProblemsShown = 15;

}  // namespace

ParamSession::ParamSession(link::ExchangeCycle& link, link::StatusLine& status, settings::Prompter& prompter,
                           const QString& backupFolder)
    : m_link(link),
      m_status(status),
      m_prompter(prompter),
      m_editor(link, m_set, &status),
      m_verifier(link, m_set),
      m_backup(prompter, backupFolder) {
  m_editor.SetFinishedHandler([this](const TransferOutcome& outcome) { TransferEnded(outcome); });
  m_editor.SetProgressHandler([this](const TransferProgress&) { NotifyProgress(); });
  m_verifier.SetProgressHandler([this](const TransferProgress&) { NotifyProgress(); });
  m_verifier.SetFinishedHandler(
      [this](const DiffList& mismatches, int compared, int leftOut) { Checked(mismatches, compared, leftOut); });
}

ParamSession::~ParamSession() {
  m_editor.SetFinishedHandler({});
  m_editor.SetProgressHandler({});
  m_verifier.SetProgressHandler({});
  m_verifier.SetFinishedHandler({});
}

void ParamSession::Tell(const QString& text) {
  if (m_message && !text.isEmpty()) m_message(text);
}

TransferProgress ParamSession::Progress() const {
  return m_verifier.Running() ? m_verifier.Progress() : m_editor.Progress();
}

void ParamSession::NotifyProgress() {
  if (m_progress) m_progress(Progress(), m_verifier.Running());
}

void ParamSession::ReadAll() { m_editor.cmd_readall_Click(); }

bool ParamSession::BeforeWrite() {
  return m_backup.EnsureBackup(m_set, m_link.SlaveAddress(), QDateTime::currentDateTime());
}

EditResult ParamSession::Enter(int slot) {
  // Nothing reaches the controller without a backup of what it held.
  if (!BeforeWrite()) return {};
  EditResult result = m_editor.txt_par_KeyPress(slot, ParamEditor::kKeyEnter);
  Tell(result.message);
  return result;
}

settings::Message ParamSession::ProblemsQuestion(const std::vector<SlotProblem>& problems) {
  QStringList lines;
  for (const SlotProblem& p : problems) lines << SlotName(p.slot) + QStringLiteral(u": ") + ProblemText(p.slot, p.text, p.problem);
  QStringList shown = lines.mid(0, kProblemsShown);
  if (lines.size() > kProblemsShown) shown << QStringLiteral(u"… и ещё %1").arg(lines.size() - kProblemsShown);
  settings::Message question;
  question.title = QStringLiteral(u"Запись в ЭСППЗУ");
  question.text = QStringLiteral(u"Эти параметры (%1) записать нельзя:").arg(problems.size()) + QStringLiteral(u"\r\n") +
                  shown.join(QStringLiteral(u"\r\n")) + QStringLiteral(u"\r\n\r\n") +
                  QStringLiteral(u"Записать остальные параметры, а эти оставить в контроллере как есть?");
  question.buttons = settings::Message::Buttons::ok_cancel;
  question.icon = settings::Message::Icon::warning;
  question.detail = lines.join(QLatin1Char('\n'));
  question.okCaption = QStringLiteral(u"Записать остальные");
  question.cancelIsDefault = true;
  return question;
}

bool ParamSession::WriteAll(bool verify) {
  const std::vector<SlotProblem> problems = m_editor.WriteAllProblems();
  if (!problems.empty() && m_prompter.Ask(ProblemsQuestion(problems)) != settings::Answer::ok) return false;
  if (!BeforeWrite()) return false;
  std::vector<std::vector<std::uint8_t>> written;
  const int id = m_editor.cmd_writeall_Click({}, &written);
  if (id == 0) return false;
  m_lastVerification.clear();
  if (verify) {
    // The check starts once the controller has echoed every write.
    m_verifier.Cancel();
    m_checkFor = id;
    m_written = std::move(written);
    m_leftOut = static_cast<int>(problems.size());
  }
  return true;
}

void ParamSession::Abort() {
  m_checkFor = 0;
  const bool checking = m_verifier.Running();
  m_verifier.Cancel();
  m_editor.AbortTransfers();
  if (checking) Tell(QStringLiteral(u"Проверка записи прервана"));
  NotifyProgress();
}

void ParamSession::TransferEnded(const TransferOutcome& outcome) {
  Tell(outcome.Summary());
  if (m_transfer) m_transfer(outcome);
  if (outcome.id != m_checkFor || outcome.kind != TransferKind::write_all) return;
  m_checkFor = 0;
  if (outcome.aborted) return;
  // What the controller refused was not written: it is not checked, and
  // counts with what was left out.
  int leftOut = m_leftOut;
  for (int k = 0; k < kSlotCount; ++k) {
    if (!outcome.refusedSlots.test(static_cast<std::size_t>(k)) || m_written[static_cast<std::size_t>(k)].empty()) continue;
    m_written[static_cast<std::size_t>(k)].clear();
    ++leftOut;
  }
  const bool anything = std::any_of(m_written.begin(), m_written.end(), [](const auto& w) { return !w.empty(); });
  if (!anything) {
    // Every write was refused: there is nothing to read back, and the
    // message above says why.
    m_lastVerification = outcome.Summary();
    return;
  }
  if (!m_verifier.Start(std::move(m_written), leftOut)) {
    Tell(ParamEditor::TransferRefusedMessage());
    m_status.SetStatusText(ParamEditor::TransferRefusedMessage());
  }
  m_written.clear();
}

void ParamSession::Checked(const DiffList& mismatches, int compared, int leftOut) {
  m_lastVerification = mismatches.entries.empty() ? WriteVerifier::SuccessText(compared, leftOut) : mismatches.summary;
  if (!mismatches.entries.empty()) m_lastDifferences = mismatches;
  if (m_check) m_check(mismatches, m_lastVerification);
}

}  // namespace zart::params
