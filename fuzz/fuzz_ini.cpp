// An arbitrary file through the INI layer: parse, read a few keys, write
// one, serialise, and parse the result again.
#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QString>

#include "settings/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  zart::settings::IniFile ini;
  ini.Parse(bytes);
  (void)ini.Read(QStringLiteral("PC config"), QStringLiteral("COM"), QStringLiteral("1"));
  (void)ini.Read(QStringLiteral("Parameters"), QStringLiteral("PAR0"), QStringLiteral("default"));
  (void)ini.Keys(QStringLiteral("Ports"));
  const QString value = QString::fromLatin1(bytes.left(300));
  ini.Write(QStringLiteral("Parameters"), QStringLiteral("PAR7"), value);
  const QByteArray out = ini.Serialize();
  zart::settings::IniFile again;
  again.Parse(out);
  const QString back = again.Read(QStringLiteral("Parameters"), QStringLiteral("PAR7"), QStringLiteral("default"));
  // What was written reads back (blanks trimmed, cut to 254, line breaks as blanks).
  if (back.size() > zart::settings::IniFile::kMaxValueLength) __builtin_trap();
  return 0;
}
