// Parameter files and EEPROM transfers at the size of the whole catalogue.
// Goals on the team's machine: save, load and compare below 10 ms each;
// building a read-all or write-all below 100 µs.
#include <benchmark/benchmark.h>

#include <optional>

#include <QTemporaryDir>

#include "link/crc.h"
#include "link/exchange_cycle.h"
#include "params/catalogue.h"
#include "params/param_set.h"
#include "params/param_editor.h"
#include "params/param_files.h"
#include "settings/prompter.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"

namespace {

using namespace zart;

class AlwaysOk : public settings::Prompter {
 public:
  settings::Answer Ask(const settings::Message&) override { return settings::Answer::ok; }
};

/// The set as after a read-all: numbers with their trailing space, names in Cyrillic.
void Fill(params::ParamSet& set) {
  for (int k = 0; k < params::kSlotCount; ++k)
    set.SetText(k, params::kCatalogue.IsText(k) ? QStringLiteral(u"Датчик %1").arg(k) : QStringLiteral("%1,5 ").arg(k % 200),
                params::SlotState::from_eeprom);
}

struct FilesFixture {
  FilesFixture() : files(set, view, prompter) {
    Fill(set);
    files.cmdSaveFile_Click(dir.path(), name);
  }
  QTemporaryDir dir;
  QString name = QStringLiteral("params.ini");
  params::ParamSet set;
  testing::FakeLinkView view;
  AlwaysOk prompter;
  params::ParamFiles files;
};

void BM_SaveAllParams(benchmark::State& state) {
  FilesFixture f;
  for (auto _ : state) benchmark::DoNotOptimize(f.files.cmdSaveFile_Click(f.dir.path(), f.name));
}
BENCHMARK(BM_SaveAllParams)->Unit(benchmark::kMillisecond);

void BM_LoadAllParams(benchmark::State& state) {
  FilesFixture f;
  for (auto _ : state) f.files.cmdReadFile_Click(f.dir.path(), f.name);
}
BENCHMARK(BM_LoadAllParams)->Unit(benchmark::kMillisecond);

void BM_CompareAllParams(benchmark::State& state) {
  FilesFixture f;
  for (auto _ : state) f.files.cmdCompare_Click(f.dir.path(), f.name);
}
BENCHMARK(BM_CompareAllParams)->Unit(benchmark::kMillisecond);

/// A fresh link for each run, since a transfer fills a quarter of the queue
/// and nothing drains it here; its construction is not timed.
struct TransferFixture {
  TransferFixture() { Fill(set); }
  void Fresh() {
    editor.reset();
    cycle.emplace(port, view);
    editor.emplace(*cycle, set);
  }
  params::ParamSet set;
  testing::FakeSerialPort port;
  testing::FakeLinkView view;
  std::optional<link::ExchangeCycle> cycle;
  std::optional<params::ParamEditor> editor;
};

void BM_ReadAllParams(benchmark::State& state) {
  TransferFixture f;
  for (auto _ : state) {
    state.PauseTiming();
    f.Fresh();
    state.ResumeTiming();
    benchmark::DoNotOptimize(f.editor->ReadAllParams());
  }
}
BENCHMARK(BM_ReadAllParams)->Unit(benchmark::kMicrosecond);

void BM_WriteAllParams(benchmark::State& state) {
  TransferFixture f;
  for (auto _ : state) {
    state.PauseTiming();
    f.Fresh();
    state.ResumeTiming();
    benchmark::DoNotOptimize(f.editor->WriteAllParams());
  }
}
BENCHMARK(BM_WriteAllParams)->Unit(benchmark::kMicrosecond);

void BM_HandleParamReply120ByteText(benchmark::State& state) {
  TransferFixture f;
  f.Fresh();
  // Ten 12-byte input names from address 3126 (slot 952 on).
  link::RxStore rx;
  const std::uint8_t header[] = {7, 100, 0x0C, 0x36, 120};
  std::vector<std::uint8_t> frame(header, header + 5);
  for (int i = 0; i < 120; ++i) frame.push_back(i % 12 < 8 ? static_cast<std::uint8_t>(0xC0 + i % 32) : 0);
  const link::CrcBytes crc = link::CrcWireBytes(link::Crc16Modbus(frame, static_cast<int>(frame.size()) - 1));
  frame.push_back(crc.low);
  frame.push_back(crc.high);
  for (std::size_t i = 0; i < frame.size(); ++i) rx.Store(static_cast<int>(i), frame[i]);
  const link::Reply reply{rx, static_cast<int>(frame.size())};
  for (auto _ : state) f.editor->HandleParamReply(reply);
  benchmark::DoNotOptimize(f.set.Text(961));
}
BENCHMARK(BM_HandleParamReply120ByteText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
