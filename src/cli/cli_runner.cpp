#include "cli/cli_runner.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTimer>

#include "cli/exit_code.h"
#include "cli/status_capture.h"
#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/frame.h"
#include "link/link_reconnector.h"
#include "monitor/controller_scan.h"
#include "monitor/csv_status_log.h"
#include "monitor/status_decoder.h"
#include "monitor/status_registers.h"
#include "params/param_backup.h"
#include "params/param_files.h"
#include "params/param_session.h"
#include "params/param_set.h"
#include "params/slot_names.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"

namespace zart::cli {

namespace {

constexpr int kPollMs = 10;
/// How long the gateway is given to accept the connection: the link's own
/// connect time-out is 3 s.
constexpr int kConnectWaitMs = 5000;
/// The status read the window's idle traffic sends, asked for once.
constexpr int kStatusRegisters = 125;

/// One request of its own and how it ended.
class OneRequest final : public link::RequestClient {
 public:
  using Answered = std::function<void(const link::Reply&)>;
  explicit OneRequest(Answered answered) : m_answered(std::move(answered)) {}
  bool RequestAnswered(int, const link::Reply& reply) override {
    done = true;
    exceptionCode = reply.IsException() ? reply.ExceptionCode() : 0;
    if (exceptionCode == 0) m_answered(reply);
    return true;
  }
  bool done = false;
  int exceptionCode = 0;

 private:
  Answered m_answered;
};

QString SlotList(const params::SlotSet& set) {
  QStringList names;
  for (int k = 0; k < params::kSlotCount; ++k)
    if (set.test(static_cast<std::size_t>(k))) names << params::SlotName(k);
  return names.join(QStringLiteral("; "));
}

QJsonArray SlotArray(const params::SlotSet& set) {
  QJsonArray a;
  for (int k = 0; k < params::kSlotCount; ++k)
    if (set.test(static_cast<std::size_t>(k)))
      a.append(QJsonObject{{QStringLiteral("slot"), k}, {QStringLiteral("name"), params::SlotName(k)}});
  return a;
}

const CliOutput::Sides kControllerAndFile{QStringLiteral(u"контроллер"), QStringLiteral(u"файл"),
                                          QStringLiteral("controller"), QStringLiteral("file")};
const CliOutput::Sides kWrittenAndRead{QStringLiteral(u"записано"), QStringLiteral(u"прочитано"),
                                       QStringLiteral("written"), QStringLiteral("read")};

void Merge(QJsonObject& into, const QJsonObject& from) {
  for (auto it = from.begin(); it != from.end(); ++it) into[it.key()] = it.value();
}

// Loads a parameter file that must exist and hold parameters.
bool LoadParameterFile(const QString& path, settings::IniFile& ini, QString* error) {
  if (!QFileInfo(path).isFile()) {
    *error = QStringLiteral(u"нет такого файла: ") + path;
    return false;
  }
  if (!ini.Load(path, error)) {
    *error = QStringLiteral(u"невозможно прочитать файл ") + path + QStringLiteral(u": ") + *error;
    return false;
  }
  for (int k = 0; k < params::kSlotCount; ++k)
    if (!params::ParamDiff::FileValue(ini, k).isNull()) return true;
  *error = params::ParamFiles::NoParametersText(path);
  return false;
}

}  // namespace

CliRunner::CliRunner(CliOptions options, CliEnvironment environment, LinkFactory& links, CliOutput& out)
    : m_options(std::move(options)),
      m_env(std::move(environment)),
      m_links(links),
      m_out(out),
      m_prompter(m_options.skipInvalid),
      m_view(m_options.verbose && !m_options.quiet ? CliLinkView::Echo([this](const QString& text) {
        m_out.Message(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + text);
      })
                                                    : CliLinkView::Echo()) {}

CliRunner::~CliRunner() {
  // The session and the scan withdraw their requests from the exchange; it
  // goes after them, the port last.
  m_session.reset();
  if (m_timer) m_timer->Stop();
  m_reconnector.reset();
  m_timer.reset();
  m_cycle.reset();
  if (m_port) m_port->Close();
}

int CliRunner::Run() {
  switch (m_options.command) {
    case Command::status:
      return RunStatus();
    case Command::read:
      return RunRead();
    case Command::write:
      return RunWrite();
    case Command::compare:
      return RunCompare();
    case Command::diff:
      return RunDiff();
    case Command::scan:
      return RunScan();
    case Command::monitor:
      return RunMonitor();
    case Command::none:
      break;
  }
  return Fail(kExitUsage, QStringLiteral(u"не указана команда"));
}

QJsonObject CliRunner::Document(int exitCode) const {
  QJsonObject o;
  o[QStringLiteral("command")] = CommandName(m_options.command);
  o[QStringLiteral("ok")] = exitCode == kExitDone;
  o[QStringLiteral("exitCode")] = exitCode;
  if (m_port) {
    o[QStringLiteral("link")] = m_port->LinkName();
    o[QStringLiteral("address")] = m_cycle ? m_cycle->SlaveAddress() : m_options.address.value_or(7);
  }
  return o;
}

int CliRunner::Fail(int code, const QString& error, QJsonObject extra) {
  m_out.Error(error);
  QJsonObject o = Document(code);
  o[QStringLiteral("error")] = error;
  Merge(o, extra);
  m_out.Document(o);
  return code;
}

QString CliRunner::Where() const {
  return QStringLiteral(u"адрес %1, ").arg(m_cycle ? m_cycle->SlaveAddress() : 0) + (m_port ? m_port->LinkName() : QString());
}

// ---- The link ---------------------------------------------------------------

int CliRunner::BuildLink() {
  const QString folder = m_options.settingsDir.isEmpty() ? m_env.settingsFolder : m_options.settingsDir;
  settings::SettingsFile file(folder, m_view, m_prompter);
  // A command line reads the settings; it never creates them.
  const bool haveFile = QFileInfo(file.Path()).isFile();
  QString settingsProblem;
  settings::IniFile ini;
  if (haveFile) {
    file.ReadConfig();
    if (!m_prompter.Asked().empty()) {
      const settings::Message& m = m_prompter.Asked().front();
      settingsProblem = m.text.trimmed() + (m.detail.isEmpty() ? QString() : QStringLiteral(u": ") + m.detail);
      m_prompter.Clear();
    }
    ini.Load(file.Path());
  }
  // The network link of the settings file, as the window reads it.
  const QString configuredLink = ini.Read(QStringLiteral("PC config"), QStringLiteral("Link"), QString()).trimmed();
  const QString configuredTimeout = ini.Read(QStringLiteral("PC config"), QStringLiteral("ReplyTimeout"), QString());

  QString portText = m_options.port.trimmed();
  if (portText.isEmpty()) portText = configuredLink;
  if (portText.isEmpty()) {
    if (!settingsProblem.isEmpty()) return Fail(kExitUsage, file.Path() + QStringLiteral(u": ") + settingsProblem);
    portText = QStringLiteral("COM") + QString::number(file.ComPort());
  }

  QString error;
  if (portText.contains(QStringLiteral("://"))) {
    const std::optional<link::LinkAddress> address = link::LinkAddress::Parse(portText, &error);
    if (!address) return Fail(kExitUsage, QStringLiteral(u"--port: ") + error);
    m_port = m_links.Network(*address, &error);
    bool ok = false;
    const int fromFile = configuredTimeout.toInt(&ok);
    m_replyTimeoutMs = m_options.timeoutMs.value_or(ok && fromFile > 0 ? fromFile : kNetworkReplyMs);
  } else {
    SerialChoice choice;
    choice.ports = file.PortDevices();
    choice.parity = link::ParseParity(m_options.parity.isEmpty() ? file.ParityText() : m_options.parity);
    static const QRegularExpression kCom(QStringLiteral("^COM(\\d{1,3})$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = kCom.match(portText);
    if (com.hasMatch()) {
      choice.number = com.captured(1).toInt();
      if (choice.number < 1 || choice.number > 255)
        return Fail(kExitUsage, QStringLiteral(u"--port: номер порта %1 вне 1..255").arg(choice.number));
      choice.name = QStringLiteral("COM") + QString::number(choice.number);
    } else {
      choice.device = portText;
      choice.name = portText;
    }
    m_port = m_links.Serial(choice, &error);
    if (m_options.timeoutMs && m_options.command != Command::scan)
      m_out.Message(QStringLiteral(u"--timeout действует только по сети; на последовательной линии ответ ждут 100 мс"));
  }
  if (!m_port) return Fail(kExitUsage, QStringLiteral(u"--port: ") + error);

  m_cycle = std::make_unique<link::ExchangeCycle>(*m_port, m_view);
  m_cycle->SetSlaveAddress(m_options.address.value_or(link::ExchangeCycle::kInitialSlaveAddress));
  m_timer = std::make_unique<link::ExchangeTimer>(*m_cycle);
  if (m_port->Network()) {
    // Over a network a reply is taken as soon as it is whole and awaited for
    // the link's time-out; the 100 ms of the serial line are too short for a
    // VPN.
    m_timer->SetFastExchange(true);
    m_timer->SetReplyTimeoutMs(m_replyTimeoutMs);
    m_silenceMs = std::max(kSilenceMs, 3 * m_replyTimeoutMs);
  } else {
    m_timer->SetFastExchange(m_options.fast || file.FastExchange());
  }
  return kExitDone;
}

int CliRunner::OpenLink() {
  if (const int code = BuildLink(); code != kExitDone) return code;
  const link::OpenResult opened = m_port->Open();
  if (!opened.ok()) {
    const QString what = opened.status == link::OpenResult::Status::busy ? QStringLiteral(u" занят другим приложением")
                                                                          : QStringLiteral(u" не доступен");
    return Fail(kExitNoLink, QStringLiteral(u"Порт ") + m_port->LinkName() + what +
                                 (opened.reason.isEmpty() ? QString() : QStringLiteral(u": ") + opened.reason));
  }
  m_reconnector = std::make_unique<link::LinkReconnector>(*m_port);
  m_reconnector->Start();
  if (m_port->Network()) {
    // Nothing can be asked of the controller before the gateway is reached.
    const End end = Wait([this] { return m_port->IsOpen(); }, false, kConnectWaitMs);
    if (end != End::done) return LinkFailure(end == End::timeUp ? End::noLink : end, QStringLiteral(u"Нет связи"));
  }
  return kExitDone;
}

void CliRunner::StartExchange() {
  if (m_started || !m_cycle || !m_port->IsOpen()) return;
  m_started = true;
  // The command's first request goes out now rather than at the first
  // tick, 100 ms on: the exchange's reply time runs from this frame.
  m_cycle->SendNextRequest();
  m_timer->Start();
  // Fast exchange looks for the reply at once, not after a tick.
  if (m_timer->FastExchange()) m_timer->SetFastExchange(true);
}

CliRunner::End CliRunner::Wait(const std::function<bool()>& done, bool watchSilence, qint64 limitMs) {
  StartExchange();
  QElapsedTimer clock;
  clock.start();
  QElapsedTimer silence;
  silence.start();
  std::uint64_t replies = m_cycle ? m_cycle->Counters().validReplies : 0;
  std::optional<End> end;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(kPollMs);
  const auto check = [&] {
    if (done()) {
      end = End::done;
    } else if (m_env.interrupted && m_env.interrupted()) {
      end = End::interrupted;
    } else if (limitMs >= 0 && clock.elapsed() >= limitMs) {
      end = End::timeUp;
    } else if (m_port) {
      if (m_port->IsOpen()) m_everOpen = true;
      // A gateway that could not be reached at all: waiting is no use.
      if (m_port->Network() && !m_everOpen && m_port->DeviceLost()) end = End::noLink;
      if (m_cycle && m_cycle->Counters().validReplies != replies) {
        replies = m_cycle->Counters().validReplies;
        silence.restart();
      } else if (watchSilence && silence.elapsed() >= m_silenceMs) {
        end = m_port->IsOpen() ? End::silent : End::noLink;
      }
    }
    if (end) loop.quit();
  };
  QObject::connect(&poll, &QTimer::timeout, &loop, check);
  check();
  if (!end) {
    poll.start();
    loop.exec();
  }
  return *end;
}

int CliRunner::LinkFailure(End end, const QString& what) {
  QString why;
  switch (end) {
    case End::silent:
      why = QStringLiteral(u"нет ответа от контроллера ЗАРТ (%1) за %2 с").arg(Where()).arg(m_silenceMs / 1000);
      break;
    case End::noLink:
      why = m_port ? m_port->NotOpenMessage() : QString();
      break;
    case End::interrupted:
      why = QStringLiteral(u"прервано пользователем");
      break;
    case End::timeUp:
    case End::done:
      why = QStringLiteral(u"время вышло");
      break;
  }
  return Fail(kExitNoLink, what + QStringLiteral(u": ") + why);
}

params::ParamSession& CliRunner::Session() {
  if (!m_session) {
    const QString folder = m_options.backupDir.isEmpty() ? params::ParamBackup::DefaultFolder() : m_options.backupDir;
    m_session = std::make_unique<params::ParamSession>(*m_cycle, m_view, m_prompter, folder);
    m_session->SetTransferHandler([this](const params::TransferOutcome& outcome) { m_outcome = outcome; });
    m_session->SetProgressHandler([this](const params::TransferProgress& p, bool checking) {
      if (p.active()) m_out.Progress(checking ? QStringLiteral(u"Проверка записи") : m_phase, p.answered, p.total);
    });
  }
  return *m_session;
}

int CliRunner::ReadAllParams(const QString& what) {
  params::ParamSession& session = Session();
  m_outcome.reset();
  m_phase = QStringLiteral(u"Чтение ЭСППЗУ");
  session.ReadAll();
  const End end = Wait([this] { return m_outcome.has_value(); }, true);
  m_out.EndProgress();
  if (end != End::done) {
    session.Abort();
    return LinkFailure(end, what);
  }
  if (m_outcome->notRead > 0) return Fail(kExitNoLink, what + QStringLiteral(u": ") + m_outcome->Summary());
  return kExitDone;
}

// ---- Commands ---------------------------------------------------------------

int CliRunner::RunStatus() {
  if (const int code = OpenLink(); code != kExitDone) return code;
  StatusCapture capture;
  monitor::StatusDecoder decoder(capture);
  OneRequest request([&](const link::Reply& reply) {
    decoder.DecodeStatus(reply.rx);
    capture.Record(reply.rx);
  });
  link::RequestOptions options;
  options.client = &request;
  using monitor::status_registers::kFirst;
  m_cycle->EnqueueRequest(link::FC_READ_INPUT_REGISTERS,
                          {link::ByteOfValue(kFirst, 1), link::ByteOfValue(kFirst, 0), 0, kStatusRegisters}, options);
  const End end = Wait([&] { return request.done; }, true);
  m_cycle->CancelRequests(&request);
  if (end != End::done) return LinkFailure(end, QStringLiteral(u"Состояние не прочитано"));
  if (request.exceptionCode != 0)
    return Fail(kExitNoLink, QStringLiteral(u"Контроллер отказал в чтении состояния: код %1 — ").arg(request.exceptionCode) +
                                 link::ExceptionMeaning(request.exceptionCode));
  m_out.Result(capture.Text(m_cycle->SlaveAddress()));
  QJsonObject o = Document(kExitDone);
  o[QStringLiteral("status")] = capture.Json(m_cycle->SlaveAddress());
  m_out.Document(o);
  return kExitDone;
}

int CliRunner::RunRead() {
  const QString path = m_options.files.front();
  // A file that cannot be written is found out before a read of 13 s.
  const QFileInfo target(path);
  if (target.isDir() || !target.absoluteDir().exists())
    return Fail(kExitWriteFailed, QStringLiteral(u"Невозможно записать файл ") + path +
                                      (target.isDir() ? QStringLiteral(u": это папка") : QStringLiteral(u": нет такой папки")));
  if (const int code = OpenLink(); code != kExitDone) return code;
  if (const int code = ReadAllParams(QStringLiteral(u"Параметры не прочитаны")); code != kExitDone) return code;
  QString error;
  // Atomic: on failure the old file, if any, stays as it was.
  if (!params::ParamFiles::Save(Session().Set(), path, &error))
    return Fail(kExitWriteFailed, QStringLiteral(u"Невозможно записать файл ") + path + QStringLiteral(u": ") + error);
  m_out.Result(QStringLiteral(u"Прочитано %1 параметров (%2) в файл %3").arg(params::kSlotCount).arg(Where(), path));
  QJsonObject o = Document(kExitDone);
  o[QStringLiteral("file")] = path;
  o[QStringLiteral("parameters")] = params::kSlotCount;
  m_out.Document(o);
  return kExitDone;
}

int CliRunner::RunCompare() {
  const QString path = m_options.files.front();
  settings::IniFile ini;
  QString error;
  if (!LoadParameterFile(path, ini, &error)) return Fail(kExitUsage, error);
  if (const int code = OpenLink(); code != kExitDone) return code;
  if (const int code = ReadAllParams(QStringLiteral(u"Параметры не прочитаны")); code != kExitDone) return code;
  const params::DiffList list = params::ParamDiff::CompareWithFile(Session().Set(), ini, QFileInfo(path).fileName());
  const int code = list.entries.empty() ? kExitDone : kExitDifferences;
  m_out.Result(CliOutput::DiffText(list, kControllerAndFile) + list.summary);
  QJsonObject o = Document(code);
  o[QStringLiteral("file")] = path;
  Merge(o, CliOutput::DiffJson(list, kControllerAndFile));
  m_out.Document(o);
  return code;
}

int CliRunner::RunDiff() {
  settings::IniFile first;
  settings::IniFile second;
  QString error;
  if (!LoadParameterFile(m_options.files[0], first, &error) || !LoadParameterFile(m_options.files[1], second, &error))
    return Fail(kExitUsage, error);
  const CliOutput::Sides sides{QFileInfo(m_options.files[0]).fileName(), QFileInfo(m_options.files[1]).fileName(),
                               QStringLiteral("first"), QStringLiteral("second")};
  const params::DiffList list = params::ParamDiff::CompareFiles(first, sides.leftText, second, sides.rightText);
  const int code = list.entries.empty() ? kExitDone : kExitDifferences;
  m_out.Result(CliOutput::DiffText(list, sides) + list.summary);
  QJsonObject o = Document(code);
  o[QStringLiteral("files")] = QJsonArray{m_options.files[0], m_options.files[1]};
  Merge(o, CliOutput::DiffJson(list, sides));
  m_out.Document(o);
  return code;
}

int CliRunner::RunWrite() {
  const QString path = m_options.files.front();
  // The file is judged before anything is asked of the controller.
  params::ParamSet fromFile;
  QString error;
  params::SlotSet loaded;
  if (!params::ParamFiles::Load(fromFile, path, &loaded, &error)) return Fail(kExitUsage, error);
  if (const int code = BuildLink(); code != kExitDone) return code;
  const std::vector<params::SlotProblem> problems = params::ParamEditor(*m_cycle, fromFile).WriteAllProblems();
  if (!problems.empty()) {
    // A person reads the first ones; --json lists every one.
    constexpr int kShown = 20;
    QStringList lines;
    QJsonArray refused;
    for (const params::SlotProblem& p : problems) {
      const QString why = p.problem == params::TextProblem::initial
                              ? QStringLiteral(u"нет ключа ") + params::ParamFiles::ParamFileKey(p.slot) + QStringLiteral(u" в файле")
                              : params::ProblemText(p.slot, p.text, p.problem);
      if (lines.size() < kShown) lines << QStringLiteral(u"  ") + params::SlotName(p.slot) + QStringLiteral(u": ") + why;
      refused.append(QJsonObject{{QStringLiteral("slot"), p.slot},
                                 {QStringLiteral("key"), params::ParamFiles::ParamFileKey(p.slot)},
                                 {QStringLiteral("name"), params::SlotName(p.slot)},
                                 {QStringLiteral("reason"), why}});
    }
    if (problems.size() > kShown) lines << QStringLiteral(u"  … и ещё %1").arg(problems.size() - kShown);
    const QString head = QStringLiteral(u"Эти параметры (%1) записать нельзя:\n").arg(problems.size()) + lines.join(u'\n');
    if (!m_options.skipInvalid)
      return Fail(kExitUsage, head + QStringLiteral(u"\nФайл не записан; --skip-invalid записывает остальные."),
                  {{QStringLiteral("invalid"), refused}});
    m_out.Message(head + QStringLiteral(u"\nОни остаются в контроллере как были."));
  }
  if (const int code = OpenLink(); code != kExitDone) return code;

  params::ParamSession& session = Session();
  if (!m_options.noBackup) {
    if (const int code = ReadAllParams(QStringLiteral(u"Резервная копия невозможна, ничего не записано")); code != kExitDone)
      return code;
  }
  // Back to the texts the window opens with, so that a key the file lacks
  // is left out of the write, not written with what was just read.
  session.Set().ResetTexts();
  if (!params::ParamFiles::Load(session.Set(), path, nullptr, &error)) return Fail(kExitUsage, error);

  std::optional<params::DiffList> mismatches;
  session.SetCheckHandler([&](const params::DiffList& list, const QString&) { mismatches = list; });
  m_outcome.reset();
  m_prompter.Clear();
  m_phase = QStringLiteral(u"Запись в ЭСППЗУ");
  if (!session.WriteAll(!m_options.noVerify)) {
    for (const settings::Message& m : m_prompter.Asked()) {
      if (m.title == params::ParamBackup::FailureTitle())
        return Fail(kExitWriteFailed, m.text.section(u'\r', 0, 0) + (m.detail.isEmpty() ? QString() : QStringLiteral(u": ") + m.detail) +
                                          QStringLiteral(u"; ничего не записано"));
    }
    return Fail(kExitNoLink, m_view.StatusText().isEmpty() ? QStringLiteral(u"Запись не начата") : m_view.StatusText());
  }
  const QString backup = session.Backup().LastBackup();
  if (!backup.isEmpty()) m_out.Message(QStringLiteral(u"Резервная копия: ") + backup);

  const End end = Wait([&] { return m_outcome.has_value() && (m_options.noVerify || mismatches || !session.Checking()); }, true);
  m_out.EndProgress();
  QJsonObject extra;
  if (!backup.isEmpty()) extra[QStringLiteral("backup")] = backup;
  if (end != End::done) {
    const bool writing = !m_outcome.has_value();
    session.Abort();
    return Fail(kExitNoLink,
                QStringLiteral(u"%1 прервана: ").arg(writing ? QStringLiteral(u"Запись") : QStringLiteral(u"Проверка записи")) +
                    [&] {
                      if (end == End::silent)
                        return QStringLiteral(u"нет ответа от контроллера ЗАРТ (%1) за %2 с").arg(Where()).arg(m_silenceMs / 1000);
                      if (end == End::interrupted) return QStringLiteral(u"прервано пользователем");
                      return m_port->NotOpenMessage();
                    }() +
                    (writing ? QStringLiteral(u"; параметры контроллера могут быть записаны частично") : QString()),
                extra);
  }
  const int startAddress = m_options.address.value_or(link::ExchangeCycle::kInitialSlaveAddress);
  const bool moved = m_view.SwitchedAddress() >= 0 && m_view.SwitchedAddress() != startAddress;
  if (moved) m_out.Message(QStringLiteral(u"Адрес контроллера теперь %1").arg(m_view.SwitchedAddress()));
  if (m_outcome->refusedSlots.any()) {
    extra[QStringLiteral("refused")] = SlotArray(m_outcome->refusedSlots);
    return Fail(kExitNoLink, m_outcome->Summary() + QStringLiteral(u": ") + SlotList(m_outcome->refusedSlots), extra);
  }
  const int written = params::kSlotCount - static_cast<int>(problems.size());
  if (mismatches && !mismatches->entries.empty()) {
    Merge(extra, CliOutput::DiffJson(*mismatches, kWrittenAndRead));
    const QString text = CliOutput::DiffText(*mismatches, kWrittenAndRead) + mismatches->summary;
    m_out.Result(text);
    return Fail(kExitMismatch, mismatches->summary, extra);
  }
  const QString verdict = m_options.noVerify ? QStringLiteral(u"без проверки") : session.LastVerification();
  m_out.Result(QStringLiteral(u"Записано %1 параметров из файла %2 (%3); %4").arg(written).arg(path, Where(), verdict));
  QJsonObject o = Document(kExitDone);
  Merge(o, extra);
  o[QStringLiteral("file")] = path;
  o[QStringLiteral("written")] = written;
  o[QStringLiteral("verified")] = !m_options.noVerify;
  if (!m_options.noVerify) o[QStringLiteral("verification")] = verdict;
  if (moved) o[QStringLiteral("newAddress")] = m_view.SwitchedAddress();
  m_out.Document(o);
  return kExitDone;
}

int CliRunner::RunScan() {
  if (const int code = OpenLink(); code != kExitDone) return code;
  monitor::ControllerScan scan(*m_cycle);
  const int replyMs = m_options.timeoutMs.value_or(m_port->Network() ? kNetworkScanReplyMs : monitor::ControllerScan::kReplyTimeMs);
  scan.SetProgressHandler([this](int tried, int total) { m_out.Progress(QStringLiteral(u"Поиск"), tried, total); });
  scan.SetFoundHandler([this](const monitor::ScanHit& hit) { m_out.Result(hit.Summary()); });
  if (!scan.Start(m_options.from, m_options.to, replyMs)) return Fail(kExitNoLink, QStringLiteral(u"Поиск не начат"));
  // Each address takes its reply time and a little; a closed link still
  // moves on address by address, one tick each.
  const qint64 limit = static_cast<qint64>(scan.Total()) * (std::max(replyMs, 100) + 20) + 5000;
  const End end = Wait([&] { return !scan.Running(); }, false, limit);
  if (scan.Running()) scan.Stop();
  m_out.EndProgress();
  if (end == End::noLink) return LinkFailure(end, QStringLiteral(u"Поиск прерван"));

  QJsonArray found;
  for (const monitor::ScanHit& hit : scan.Found()) {
    QJsonObject h{{QStringLiteral("address"), hit.address}};
    if (hit.exceptionCode != 0) {
      h[QStringLiteral("exceptionCode")] = hit.exceptionCode;
    } else {
      h[QStringLiteral("objectType")] = hit.objectType;
      h[QStringLiteral("objectTypeName")] = hit.ObjectTypeText();
      h[QStringLiteral("protocolVersion")] = monitor::ScanHit::VersionText(hit.protocolVersion);
      h[QStringLiteral("softwareVersion")] = monitor::ScanHit::VersionText(hit.softwareVersion);
      h[QStringLiteral("blocked")] = hit.blocked;
    }
    found.append(h);
  }
  const QString range = QStringLiteral(u"адреса %1..%2, %3").arg(m_options.from).arg(m_options.to).arg(m_port->LinkName());
  const bool interrupted = end == End::interrupted;
  if (interrupted) m_out.Message(QStringLiteral(u"Поиск прерван на адресе %1").arg(m_options.from + scan.Tried()));
  if (scan.Found().empty())
    return Fail(kExitNoLink, QStringLiteral(u"Ни один адрес не ответил (%1)").arg(range), {{QStringLiteral("found"), found}});
  m_out.Message(QStringLiteral(u"Найдено контроллеров: %1 (%2)").arg(scan.Found().size()).arg(range));
  QJsonObject o = Document(kExitDone);
  o.remove(QStringLiteral("address"));
  o[QStringLiteral("from")] = m_options.from;
  o[QStringLiteral("to")] = m_options.to;
  o[QStringLiteral("complete")] = !interrupted;
  o[QStringLiteral("found")] = found;
  m_out.Document(o);
  return kExitDone;
}

int CliRunner::RunMonitor() {
  if (const int code = OpenLink(); code != kExitDone) return code;
  StatusCapture capture;
  monitor::StatusDecoder decoder(capture);
  int lines = 0;
  std::uint64_t failuresBefore = 0;
  bool linkDown = false;
  m_cycle->SetStatusHandler([&](const link::Reply& reply) {
    const QDateTime now = QDateTime::currentDateTime();
    decoder.DecodeStatus(reply.rx, now);
    capture.Record(reply.rx);
    const link::ExchangeCounters& c = m_cycle->Counters();
    const std::uint64_t failures = c.noAnswers + c.crcMismatches;
    const std::uint64_t since = lines == 0 ? 0 : failures - failuresBefore;
    failuresBefore = failures;
    if (linkDown) m_out.Message(link::ExchangeCycle::LinkUpMessage());
    linkDown = false;
    if (m_out.Json()) {
      QJsonObject o = capture.Json(m_cycle->SlaveAddress());
      o[QStringLiteral("time")] = now.toString(Qt::ISODateWithMs);
      o[QStringLiteral("linkFailures")] = static_cast<double>(since);
      m_out.Document(o);
    } else if (m_options.csv) {
      if (lines == 0) m_out.Result(monitor::CsvStatusLog::HeaderLine());
      // On stdout for scripts: a decimal point whatever the locale.
      m_out.Result(monitor::CsvStatusLog::Line(monitor::CsvFormat(), now, monitor::StatusSample::FromStatusReply(reply.rx), since));
    } else {
      const QStringList lamps = capture.LitLamps();
      QStringList signalsOn;
      for (int n : capture.LitSignals()) signalsOn << QString::number(n);
      QString line = now.toString(QStringLiteral("HH:mm:ss.zzz")) + u' ' + capture.Value(monitor::ValueLabel::lbl_object) +
                     QStringLiteral(u"  двигатель %1 об/мин").arg(capture.Value(monitor::ValueLabel::lbl_eng_rpm));
      if (capture.ShaftShown()) line += QStringLiteral(u"  вал %1 об/мин").arg(capture.Value(monitor::ValueLabel::lbl_prop_rpm));
      line += QStringLiteral(u"  АКБ %1 В  индикаторы: %2  сигналы: %3")
                  .arg(capture.Value(monitor::ValueLabel::lbl_acc),
                       lamps.isEmpty() ? QStringLiteral(u"нет") : lamps.join(QStringLiteral(", ")),
                       signalsOn.isEmpty() ? QStringLiteral(u"нет") : signalsOn.join(u' '));
      if (capture.Blocked()) line += QStringLiteral(u"  управление по Modbus заблокировано");
      if (since > 0) line += QStringLiteral(u"  сбоев %1").arg(since);
      m_out.Result(line);
    }
    ++lines;
  });
  const qint64 limit = m_options.seconds ? static_cast<qint64>(*m_options.seconds) * 1000 : -1;
  QElapsedTimer running;
  running.start();
  // Until the first reply a silent controller ends the command as any
  // other; after it the monitor keeps watching through losses of the link.
  End end = Wait([&] { return lines > 0; }, true, limit);
  if (end == End::silent || end == End::noLink) return LinkFailure(end, QStringLiteral(u"Нет данных"));
  if (end == End::done) {
    end = Wait(
        [&] {
          if (!linkDown && !m_cycle->LinkUp() && m_cycle->Counters().noAnswers + m_cycle->Counters().crcMismatches > failuresBefore + 5) {
            linkDown = true;
            m_out.Message(m_view.StatusText());
          }
          return false;
        },
        false, limit < 0 ? -1 : std::max<qint64>(0, limit - running.elapsed()));
  }
  m_out.Message(QStringLiteral(u"Строк состояния: %1").arg(lines));
  return kExitDone;
}

}  // namespace zart::cli
