// An arbitrary parameter file loaded into the parameter set and compared with it.
#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fuzz_fakes.h"
#include "params/param_set.h"
#include "params/param_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  static zart::params::ParamSet set;
  static zart::fuzz::View view;
  static zart::fuzz::CancelPrompter prompter;
  static zart::params::ParamFiles files(set, view, prompter);

  QFile f(dir.filePath(QStringLiteral("fuzz.ini")));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
  f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  f.close();
  files.cmdReadFile_Click(dir.path(), QStringLiteral("fuzz.ini"));
  files.cmdCompare_Click(dir.path(), QStringLiteral("fuzz.ini"));
  return 0;
}
