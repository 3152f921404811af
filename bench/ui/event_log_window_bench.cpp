// Opening "Журнал событий" over a full ring: 100 000 entries and more, the
// window built, shown and painted once.
//   QT_QPA_PLATFORM=offscreen build-rel/bin/bench_event_log
#include <benchmark/benchmark.h>

#include <QApplication>

#include "monitor/event_log.h"
#include "monitor/status_sample.h"
#include "monitor_fakes.h"
#include "ui/event_log_model.h"
#include "ui/event_log_window.h"

namespace {

using zart::monitor::EventLog;
using zart::monitor::StatusSample;

void Fill(EventLog& log, std::uint64_t entries) {
  const StatusSample quiet = StatusSample::FromStatusReply(zart::testing::StatusBlock().Store());
  const StatusSample busy =
      StatusSample::FromStatusReply(zart::testing::StatusBlock().Set(392, 0x001F).Set(398, 0xFFFF).Store());
  for (std::int64_t i = 0; log.Total() < entries; ++i) log.Record(i % 2 == 0 ? busy : quiet, 1'700'000'000'000 + i * 200);
}

void BM_EventLogWindowOpen(benchmark::State& state) {
  EventLog log;
  Fill(log, static_cast<std::uint64_t>(state.range(0)));
  for (auto _ : state) {
    zart::ui::EventLogWindow window(log, nullptr, {});
    window.show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(window.grab());
  }
  state.counters["entries"] = static_cast<double>(log.Total());
}
BENCHMARK(BM_EventLogWindowOpen)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A search typed into the window: every entry's texts made and searched.
void BM_EventLogSearch(benchmark::State& state) {
  EventLog log;
  Fill(log, static_cast<std::uint64_t>(state.range(0)));
  zart::ui::EventLogWindow window(log, nullptr, {});
  bool flip = false;
  for (auto _ : state) {
    window.Model().SetSearch((flip = !flip) ? QStringLiteral(u"авария") : QStringLiteral(u"сигнал 17"));
    benchmark::DoNotOptimize(window.Model().rowCount());
  }
}
BENCHMARK(BM_EventLogSearch)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
