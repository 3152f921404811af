// The parameter files' path through the INI layer: one load, 1208 reads or
// writes, one save. The goal is well under 10 ms for 1208 reads plus 1208
// writes on a 1208-key file.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "settings/ini_file.h"

namespace {

using zart::settings::IniFile;

constexpr int kSlots = 1208;

QString section() { return QStringLiteral(u"Parameters"); }
QString key(int slot) { return QStringLiteral(u"PAR") + QString::number(slot); }

QByteArray parameterFile() {
  QByteArray bytes = "[Parameters]\r\n";
  for (int slot = 0; slot < kSlots; ++slot) {
    bytes += "PAR" + QByteArray::number(slot) + "=" + QByteArray::number(slot * 20) + " \r\n";
  }
  return bytes;
}

void BM_ReadAndWriteAllSlots(benchmark::State& state) {
  const QByteArray file = parameterFile();
  QStringList keys;
  for (int slot = 0; slot < kSlots; ++slot) {
    keys << key(slot);
  }
  for (auto _ : state) {
    IniFile ini;
    ini.Parse(file);
    for (const QString& k : keys) {
      benchmark::DoNotOptimize(ini.Read(section(), k, QStringLiteral(u"default")));
    }
    for (int slot = 0; slot < kSlots; ++slot) {
      ini.Write(section(), keys[slot], QString::number(slot + 1));
    }
    benchmark::DoNotOptimize(ini.Serialize());
  }
}
BENCHMARK(BM_ReadAndWriteAllSlots)->Unit(benchmark::kMillisecond);

void BM_WriteNewFile(benchmark::State& state) {
  for (auto _ : state) {
    IniFile ini;
    for (int slot = 0; slot < kSlots; ++slot) {
      ini.Write(section(), key(slot), QStringLiteral(u"-"));
    }
    benchmark::DoNotOptimize(ini.Serialize());
  }
}
BENCHMARK(BM_WriteNewFile)->Unit(benchmark::kMillisecond);

void BM_LoadWriteSaveOnDisk(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral(u"params.ini"));
  IniFile seed;
  seed.Parse(parameterFile());
  seed.Save(path);
  for (auto _ : state) {
    IniFile ini;
    ini.Load(path);
    for (int slot = 0; slot < kSlots; ++slot) {
      ini.Write(section(), key(slot), QString::number(slot));
    }
    ini.Save(path);
  }
}
BENCHMARK(BM_LoadWriteSaveOnDisk)->Unit(benchmark::kMillisecond);

void BM_ParseMegabyteLine(benchmark::State& state) {
  const QByteArray file = "[A]\r\nx=" + QByteArray(1 << 20, 'v') + "\r\n";
  for (auto _ : state) {
    IniFile ini;
    ini.Parse(file);
    benchmark::DoNotOptimize(ini.Read(QStringLiteral(u"A"), QStringLiteral(u"x"), QString()));
  }
}
BENCHMARK(BM_ParseMegabyteLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
