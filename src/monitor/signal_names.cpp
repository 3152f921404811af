#include "monitor/signal_names.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include "link/system_reason.h"
#include "settings/ini_file.h"
#include "settings/windows1251.h"

namespace zart::monitor {
namespace {

QString Section() { return QStringLiteral(u"Signals"); }

// Text files hold no control bytes besides tab and the line ends; anything
// else means the user picked a program, a picture or an archive.
bool LooksLikeText(const QByteArray& bytes) {
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 && b != '\t' && b != '\r' && b != '\n') return false;
  }
  return true;
}

bool IsUtf8(const QByteArray& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = decoder.decode(bytes);
  return !decoder.hasError();
}

}  // namespace

void SignalNames::Clear() {
  for (QString& name : m_names) name.clear();
  m_count = 0;
  m_path.clear();
}

int SignalNames::Parse(const QByteArray& raw) {
  if (!LooksLikeText(raw)) return -1;
  QByteArray bytes = raw;
  const bool bom = bytes.startsWith("\xEF\xBB\xBF");
  if (bom) bytes.remove(0, 3);
  const bool utf8 = bom || IsUtf8(bytes);
  // The INI layer reads single bytes as Windows-1251; each of them comes
  // back as the same byte, so a UTF-8 value is decoded again from there.
  settings::IniFile ini;
  ini.Parse(bytes);
  std::array<QString, 256> names;
  int count = 0;
  for (int n = 1; n < 256; ++n) {
    QString name = ini.Read(Section(), QStringLiteral(u"S%1").arg(n), QString());
    if (utf8) {
      name = QString::fromUtf8(settings::EncodeWindows1251(name));
      // A value cut inside a character leaves a replacement mark at its end.
      while (name.endsWith(QChar::ReplacementCharacter)) name.chop(1);
    }
    name = name.simplified().left(kMaxNameLength);
    if (name.isEmpty()) continue;
    names[static_cast<std::size_t>(n)] = name;
    ++count;
  }
  m_names = std::move(names);
  m_count = count;
  return count;
}

bool SignalNames::Load(const QString& path, QString* error) {
  auto fail = [&](const QString& why) {
    if (error != nullptr) *error = QStringLiteral(u"Файл имён сигналов «%1» не принят: %2").arg(path, why);
    return false;
  };
  const QFileInfo info(path);
  if (!info.exists()) return fail(QStringLiteral(u"файл не найден"));
  if (!info.isFile()) return fail(QStringLiteral(u"это не файл"));
  if (info.size() > kMaxFileBytes) {
    return fail(QStringLiteral(u"файл слишком велик (%1 КБ; файл имён не больше %2 КБ)")
                    .arg(QLocale().toString((info.size() + 1023) / 1024))
                    .arg(kMaxFileBytes / 1024));
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    QString why = link::FileErrorReason(path, file, link::FileAccess::read);
    if (!why.isEmpty()) why[0] = why[0].toLower();
    return fail(why);
  }
  const QByteArray bytes = file.read(kMaxFileBytes + 1);
  SignalNames parsed;
  const int count = parsed.Parse(bytes);
  if (count < 0) return fail(QStringLiteral(u"это не текстовый файл"));
  if (count == 0) return fail(QStringLiteral(u"в разделе [Signals] нет ни одного имени S1..S255"));
  *this = std::move(parsed);
  m_path = path;
  return true;
}

QString SignalNames::Name(int n) const {
  return n >= 1 && n < 256 ? m_names[static_cast<std::size_t>(n)] : QString();
}

QString SignalNames::Label(int n) const {
  const QString name = Name(n);
  return name.isEmpty() ? QString::number(n) : QStringLiteral(u"%1 «%2»").arg(n).arg(name);
}

}  // namespace zart::monitor
