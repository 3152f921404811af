// How long the parameters window takes to build (all 1208 boxes, their
// labels, frames and tabs), how long the longest stretch without pending
// events being processed lasts, the first show, and recolouring every box.
//   QT_QPA_PLATFORM=offscreen build/bin/bench_ui
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "ui/param_window.h"

namespace {

using zart::ui::ParamWindow;

/// Lets events run like the window does, and records the gaps between calls.
struct GapMeter {
  QElapsedTimer clock;
  qint64 last = 0;
  qint64 longest = 0;
  int longestAt = 0;  // pump call that ended the longest stretch (0: the first)
  int calls = 0;

  void Start() {
    clock.start();
    last = 0;
  }
  void Mark() {
    const qint64 now = clock.nsecsElapsed();
    if (now - last > longest) {
      longest = now - last;
      longestAt = calls;
    }
    last = now;
  }
  void Pump() {
    Mark();
    ++calls;
    QCoreApplication::processEvents();
    last = clock.nsecsElapsed();
  }
};

void BM_ParamWindowBuild(benchmark::State& state) {
  GapMeter meter;
  qint64 worstGap = 0;
  int widgets = 0;
  for (auto _ : state) {
    meter.longest = 0;
    meter.calls = 0;
    meter.Start();
    auto window = std::make_unique<ParamWindow>(nullptr, [&meter] { meter.Pump(); });
    window->Form_Load();
    meter.Mark();  // the stretch after the last pump counts too
    worstGap = std::max(worstGap, meter.longest);
    state.PauseTiming();
    widgets = static_cast<int>(window->findChildren<QWidget*>().size());
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.ResumeTiming();
  }
  state.counters["max_gap_ms"] = static_cast<double>(worstGap) / 1e6;
  state.counters["pumps"] = meter.calls;
  state.counters["longest_before_pump"] = meter.longestAt;
  state.counters["widgets"] = widgets;
}
BENCHMARK(BM_ParamWindowBuild)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ParamWindowFirstShow(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<ParamWindow>(nullptr, [] { QCoreApplication::processEvents(); });
    window->Form_Load();
    state.ResumeTiming();
    window->show();
    QCoreApplication::processEvents();
    state.PauseTiming();
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ParamWindowFirstShow)->Unit(benchmark::kMillisecond)->Iterations(10);

// The start of a read-all: every box white, then every box green as the
// replies come in.
void BM_RecolourAllBoxes(benchmark::State& state) {
  ParamWindow window(nullptr, [] {});
  window.Form_Load();
  window.show();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    for (int slot = 0; slot < zart::params::kSlotCount; ++slot) window.SetColor(slot, zart::params::COLOR_CHANGED);
    for (int slot = 0; slot < zart::params::kSlotCount; ++slot) window.SetColor(slot, zart::params::COLOR_FROM_EEPROM);
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_RecolourAllBoxes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
