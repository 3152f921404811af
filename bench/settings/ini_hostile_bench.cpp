// Files that are not ours but land in the file chooser anyway: the worst
// line shapes for the INI layer, at the largest size it accepts. The goal:
// such a load takes well under a second and its memory stays a small
// multiple of the file's size. Each case reports, besides its time:
//   file_MB  - size of the file loaded
//   peak_MB  - growth of the peak resident memory (VmHWM) during one load, in
//              a child process whose freed heap is first given back and whose
//              peak is reset, so that earlier cases do not mask it
//   per_byte - peak_MB / file_MB
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "settings/ini_file.h"

namespace {

using zart::settings::IniFile;

enum Shape : int { kEmptyLines, kHeaders, kDistinctKeys, kSameKey, kLongValue };

const char* ShapeName(int shape) {
  switch (shape) {
    case kEmptyLines: return "empty lines";
    case kHeaders: return "[n] headers";
    case kDistinctKeys: return "distinct keys n=";
    case kSameKey: return "one key repeated";
    default: return "one long value";
  }
}

QByteArray Hostile(int shape, qsizetype size) {
  QByteArray bytes;
  bytes.reserve(size + 64);
  if (shape == kDistinctKeys || shape == kSameKey || shape == kLongValue) bytes += "[Parameters]\n";
  if (shape == kLongValue) bytes += "PAR0=";
  for (qint64 n = 0; bytes.size() < size; ++n) {
    switch (shape) {
      case kEmptyLines: bytes += '\n'; break;
      case kHeaders: bytes += '[' + QByteArray::number(n % 10) + "]\n"; break;
      case kDistinctKeys: bytes += QByteArray::number(n, 36) + "=\n"; break;
      case kSameKey: bytes += "k=\n"; break;
      default: bytes += 'v'; break;
    }
  }
  bytes.truncate(size);
  return bytes;
}

// VmHWM of /proc/self/status, in kilobytes.
long PeakKilobytes() {
  QFile status(QStringLiteral(u"/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLong();
  }
  return -1;
}

void ResetPeak() {
  malloc_trim(0);
  QFile clear(QStringLiteral(u"/proc/self/clear_refs"));
  if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// One load of `path` in a child process: the growth of its peak memory.
double PeakGrowthMegabytes(const QString& path) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    ResetPeak();
    const long before = PeakKilobytes();
    {
      IniFile ini;
      ini.Load(path);
      benchmark::DoNotOptimize(ini.Read(QStringLiteral(u"Parameters"), QStringLiteral(u"PAR0"), QString()));
    }
    const long growth = PeakKilobytes() - before;
    const ssize_t written = write(pipeEnds[1], &growth, sizeof growth);
    _exit(written == sizeof growth ? 0 : 1);
  }
  close(pipeEnds[1]);
  long growth = -1;
  if (read(pipeEnds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<double>(growth) / 1024.0;
}

void BM_LoadHostileFileAtTheCap(benchmark::State& state) {
  const int shape = static_cast<int>(state.range(0));
  const qsizetype size = static_cast<qsizetype>(IniFile::kMaxFileBytes);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral(u"hostile.ini"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
      state.SkipWithError("cannot write the file");
      return;
    }
    file.write(Hostile(shape, size));
  }
  bool loaded = true;
  for (auto _ : state) {
    IniFile ini;
    loaded = ini.Load(path) && loaded;
    benchmark::DoNotOptimize(ini.Read(QStringLiteral(u"Parameters"), QStringLiteral(u"PAR1207"), QString()));
  }
  if (!loaded) state.SkipWithError("a file at the cap was refused");
  const double megabytes = static_cast<double>(size) / (1024.0 * 1024.0);
  const double peak = PeakGrowthMegabytes(path);
  state.SetLabel(ShapeName(shape));
  state.counters["file_MB"] = megabytes;
  state.counters["peak_MB"] = peak;
  state.counters["per_byte"] = peak / megabytes;
}
BENCHMARK(BM_LoadHostileFileAtTheCap)
    ->DenseRange(kEmptyLines, kLongValue)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_RefuseFileOverTheCap(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral(u"big.ini"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(IniFile::kMaxFileBytes + 1)) {
      state.SkipWithError("cannot write the file");
      return;
    }
  }
  for (auto _ : state) {
    IniFile ini;
    QString error;
    if (ini.Load(path, &error)) state.SkipWithError("a file over the cap was accepted");
  }
}
BENCHMARK(BM_RefuseFileOverTheCap)->Unit(benchmark::kMicrosecond);

}  // namespace
