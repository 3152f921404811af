#include "params/param_files.h"

#include <QDir>
#include <QFileInfo>

#include "link/status_line.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/conversions.h"
#include "params/param_set.h"
#include "settings/ini_file.h"
#include "settings/prompter.h"

namespace zart::params {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString OpenErrorTitle() { return QStringLiteral(u"Ошибка открытия файла"); }

settings::Message WriteError(const QString& name, settings::Message::Buttons buttons, const QString& detail) {
  return {OpenErrorTitle(), QStringLiteral(u"Невозможно открыть файл ") + name + QStringLiteral(u" для записи"),
          buttons, settings::Message::Icon::error, detail};
}

QString ReadErrorText(const QString& name) {
  return QStringLiteral(u"Невозможно открыть файл ") + name + QStringLiteral(u" для чтения");
}

// Markers a missing key reads as; a value that happens to equal one of them
// counts as missing too.
QString LoadDefault() { return QStringLiteral("empty_default"); }
QString CompareDefault() { return QStringLiteral("default"); }

// True when the file holds at least one of the set's keys: a garbage or
// foreign file loads nothing.
bool HoldsParameters(const settings::IniFile& ini) {
  for (int k = 0; k < kSlotCount; ++k)
    if (!ParamDiff::FileValue(ini, k).isNull()) return true;
  return false;
}

void WriteAll(const ParamSet& set, settings::IniFile& ini) {
  for (int k = 0; k < kSlotCount; ++k) ini.Write(ParamFiles::ParamFileSection(k), ParamFiles::ParamFileKey(k), set.Text(k));
}

// Values are taken as they stand; they are converted only when written to
// the controller, which refuses what it cannot hold.
void TakeValues(ParamSet& set, const settings::IniFile& ini, SlotSet* loaded) {
  const QString missing = LoadDefault();
  for (int k = 0; k < kSlotCount; ++k) {
    const QString value = ini.Read(ParamFiles::ParamFileSection(k), ParamFiles::ParamFileKey(k), missing);
    if (value == missing) {
      set.SetState(k, SlotState::missing_in_file);
    } else {
      set.SetText(k, value, SlotState::from_file);
      if (loaded) loaded->set(static_cast<std::size_t>(k));
    }
  }
}

}  // namespace

ParamFiles::ParamFiles(ParamSet& set, link::StatusLine& status, settings::Prompter& prompter)
    : m_set(set), m_status(status), m_prompter(prompter) {}

QString ParamFiles::NoParametersText(const QString& name) {
  return QStringLiteral(u"Файл ") + name + QStringLiteral(u" не содержит параметров");
}

bool ParamFiles::Save(const ParamSet& set, const QString& path, QString* error) {
  settings::IniFile ini;
  if (!ini.Load(path, error)) return false;
  WriteAll(set, ini);
  return ini.Save(path, error);
}

bool ParamFiles::Load(ParamSet& set, const QString& path, SlotSet* loaded, QString* error) {
  settings::IniFile ini;
  if (!QFileInfo(path).isFile()) {
    if (error) *error = QStringLiteral(u"Нет такого файла: ") + path;
    return false;
  }
  if (!ini.Load(path, error)) return false;
  if (!HoldsParameters(ini)) {
    if (error) *error = NoParametersText(QFileInfo(path).fileName());
    return false;
  }
  TakeValues(set, ini, loaded);
  return true;
}

QString ParamFiles::ParamFileSection(int /*slot*/) { return QStringLiteral("Parameters"); }

QString ParamFiles::ParamFileKey(int slot) { return QStringLiteral("PAR") + QString::number(slot); }

QString ParamFiles::PathOf(const QString& folder, const QString& name) {
  return folder + QLatin1Char('/') + name;
}

bool ParamFiles::IsPlainName(const QString& name) {
  // Text3 names a file of the chosen folder and nothing else: a separator
  // or a drive ("sub/x.ini", "..\c.ini", "C:x.ini") would reach a file
  // elsewhere. Windows also drops trailing dots and blanks, so "x.ini." would
  // open "x.ini" while the existence check looked for another name.
  if (name.isEmpty() || name == u"." || name == u"..") return false;
  if (name.endsWith(u'.') || name.endsWith(u' ')) return false;
  for (const QChar c : name) {
    if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20) return false;
  }
  return true;
}

bool ParamFiles::FileExists(const QString& folder, const QString& name) {
  if (!IsPlainName(name) || !QFileInfo(PathOf(folder, name)).isFile()) return false;
  // The name as it stands in the folder must equal the typed one exactly.
  // The folder's own listing decides: on a file system that ignores letter
  // case the typed path opens "X.INI" for "x.ini" and cannot tell them apart.
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).contains(name);
}

bool ParamFiles::cmdSaveFile_Click(const QString& folder, const QString& name) {
  m_status.ShowStatusNow(QStringLiteral(u"Сохранение файла ") + name);
  m_path = PathOf(folder, name);

  if (!IsPlainName(name)) {
    m_prompter.Ask(WriteError(name, settings::Message::Buttons::ok, QString()));
    return false;
  }

  if (const int without = m_set.WithoutValueCount(); without > 0) {
    // Texts no one read, loaded or typed would go into the file as if they
    // were values.
    settings::Message question{QStringLiteral(u"Сохранение файла"),
                               QStringLiteral(u"%1 параметров не прочитаны из контроллера, не загружены из файла и "
                                              u"не введены: в файл попадут тексты, с которыми открылось окно.")
                                       .arg(without) +
                                   kCrLf + QStringLiteral(u"Сохранить всё же?"),
                               settings::Message::Buttons::ok_cancel, settings::Message::Icon::warning, QString()};
    question.okCaption = QStringLiteral(u"Сохранить");
    question.cancelIsDefault = true;
    if (m_prompter.Ask(question) != settings::Answer::ok) {
      m_status.SetStatusText(QString());
      return false;
    }
  }

  if (FileExists(folder, name)) {
    const settings::Message question{QStringLiteral(u"Создание текстового файла"),
                                     QStringLiteral(u"Файл ") + name + QStringLiteral(u" уже существует!") + kCrLf +
                                         QStringLiteral(u"Заменить его?"),
                                     settings::Message::Buttons::ok_cancel, settings::Message::Icon::question,
                                     QString()};
    if (m_prompter.Ask(question) != settings::Answer::ok) {
      m_status.SetStatusText(QString());
      return false;
    }
  }

  // The existing file is read first so that its other sections and keys
  // survive; without that read a save would wipe them, so a file that
  // cannot be read cannot be saved over either.
  settings::IniFile ini;
  for (;;) {
    QString error;
    if (ini.Load(m_path, &error)) break;
    if (m_prompter.Ask(WriteError(name, settings::Message::Buttons::retry_cancel, error)) != settings::Answer::retry) {
      m_status.SetStatusText(QString());
      return false;
    }
  }

  WriteAll(m_set, ini);

  // One atomic write of the whole file. Only once it is on disk do the boxes
  // turn blue: a refused save (read-only folder, full disk) leaves them as
  // they were, so the colours never claim a value is in a file when it is not.
  for (;;) {
    QString error;
    if (ini.Save(m_path, &error)) break;
    if (m_prompter.Ask(WriteError(name, settings::Message::Buttons::retry_cancel, error)) != settings::Answer::retry) {
      m_status.SetStatusText(QString());
      return false;
    }
  }
  m_set.SetAllStates(SlotState::from_file);

  m_status.SetStatusText(QString());
  return true;
}

bool ParamFiles::LoadForReading(const QString& name, settings::IniFile& ini) {
  for (;;) {
    QString error;
    if (ini.Load(m_path, &error)) return true;
    const settings::Message message{OpenErrorTitle(), ReadErrorText(name) + kCrLf,
                                    settings::Message::Buttons::retry_cancel, settings::Message::Icon::error, error};
    // Cancel ends the operation; the status line keeps its text.
    if (m_prompter.Ask(message) != settings::Answer::retry) return false;
  }
}

bool ParamFiles::CheckReadable(const QString& folder, const QString& name) {
  if (FileExists(folder, name)) return true;
  m_prompter.Ask(
      {OpenErrorTitle(), ReadErrorText(name), settings::Message::Buttons::ok, settings::Message::Icon::error, QString()});
  m_status.SetStatusText(QString());
  return false;
}

bool ParamFiles::CheckHoldsParameters(const QString& name, const settings::IniFile& ini) {
  if (HoldsParameters(ini)) return true;
  m_prompter.Ask({OpenErrorTitle(), NoParametersText(name), settings::Message::Buttons::ok,
                  settings::Message::Icon::error, QString()});
  m_status.SetStatusText(QString());
  return false;
}

std::optional<DiffList> ParamFiles::cmdReadFile_Click(const QString& folder, const QString& name) {
  m_path = PathOf(folder, name);
  if (!CheckReadable(folder, name)) return std::nullopt;
  m_status.ShowStatusNow(QStringLiteral(u"Чтение файла ") + m_path);

  settings::IniFile ini;
  if (!LoadForReading(name, ini) || !CheckHoldsParameters(name, ini)) return std::nullopt;
  SlotSet loaded;
  TakeValues(m_set, ini, &loaded);
  m_status.SetStatusText(QString());
  return ParamDiff::InvalidValues(m_set, loaded, name);
}

std::optional<DiffList> ParamFiles::cmdCompare_Click(const QString& folder, const QString& name) {
  m_path = PathOf(folder, name);
  if (!CheckReadable(folder, name)) return std::nullopt;
  m_status.ShowStatusNow(QStringLiteral(u"Чтение файла ") + name);

  settings::IniFile ini;
  if (!LoadForReading(name, ini)) return std::nullopt;

  const QString missing = CompareDefault();
  for (int k = 0; k < kSlotCount; ++k) {
    const QString value = ini.Read(ParamFileSection(k), ParamFileKey(k), missing);
    SlotState state;
    if (value == missing)
      state = SlotState::missing_in_file;
    else
      state = ParamDiff::MatchesFile(k, m_set.Text(k), value) ? SlotState::matches_file : SlotState::differs_from_file;
    m_set.SetState(k, state);
  }
  m_status.SetStatusText(QString());
  return ParamDiff::CompareWithFile(m_set, ini, name);
}

}  // namespace zart::params
