// An arbitrary parameter file loaded into the boxes and compared with them.
#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fuzz_fakes.h"
#include "params/catalogue.h"
#include "params/param_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  static zart::params::ParamCatalogue catalogue = [] {
    zart::params::ParamCatalogue c;
    c.InitParamTables();
    return c;
  }();
  static zart::fuzz::Boxes boxes;
  static zart::fuzz::View view;
  static zart::fuzz::CancelPrompter prompter;
  static zart::params::ParamFiles files(catalogue, boxes, view, prompter);

  QFile f(dir.filePath(QStringLiteral("fuzz.ini")));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
  f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  f.close();
  files.cmdReadFile_Click(dir.path(), QStringLiteral("fuzz.ini"));
  files.cmdCompare_Click(dir.path(), QStringLiteral("fuzz.ini"));
  return 0;
}
