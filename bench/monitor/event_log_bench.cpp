// What recording the events of one status reply costs the exchange tick:
// two replies that differ in 40 places (lamps, signals, a fault word)
// recorded alternately, so each call writes 40 entries into the ring.
//   build-rel/bin/bench_monitor
#include <benchmark/benchmark.h>

#include "monitor/event_log.h"
#include "monitor/status_sample.h"
#include "monitor_fakes.h"

namespace {

using zart::monitor::EventLog;
using zart::monitor::StatusSample;
using zart::testing::StatusBlock;

void BM_EventLogRecord40Changes(benchmark::State& state) {
  // 5 lamps, 34 signals over three words, one fault word: 40 changes.
  const StatusSample quiet = StatusSample::FromStatusReply(StatusBlock().Store());
  const StatusSample busy = StatusSample::FromStatusReply(
      StatusBlock().Set(392, 0x001F).Set(398, 0xFFFF).Set(405, 0xFFFF).Set(412, 0x0003).Set(423, 0x0101).Store());
  EventLog log;
  log.Record(quiet, 0);
  std::int64_t ms = 0;
  const std::uint64_t before = log.Total();
  for (auto _ : state) {
    ++ms;
    log.Record((ms & 1) != 0 ? busy : quiet, ms);
    benchmark::DoNotOptimize(log.Total());
  }
  state.counters["entries_per_reply"] =
      static_cast<double>(log.Total() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EventLogRecord40Changes);

}  // namespace

BENCHMARK_MAIN();
