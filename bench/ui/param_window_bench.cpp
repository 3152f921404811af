// The parameters window: how long it takes to build (all 1208 boxes, their
// labels, frames and tabs, in one go: nothing lets events run meanwhile),
// how long the menu takes until the window is on the screen with the
// read-all queued, and recolouring every box as a read-all does.
// Goal: menu to visible window under 250 ms at 1366×768, no stall of the
// link over 100 ms. Run it on the screen in question, for example:
//   xvfb-run -s '-screen 0 1366x768x24' build/bin/bench_ui
// (offscreen by default).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "link/exchange_cycle.h"
#include "params/param_set.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/scripted_prompter.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace {

using zart::ui::ParamWindow;

void BM_ParamWindowBuild(benchmark::State& state) {
  const zart::params::ParamSet set;
  int widgets = 0;
  for (auto _ : state) {
    auto window = std::make_unique<ParamWindow>(nullptr, set);
    window->Form_Load();
    state.PauseTiming();
    widgets = static_cast<int>(window->findChildren<QWidget*>().size());
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.ResumeTiming();
  }
  state.counters["widgets"] = widgets;
}
BENCHMARK(BM_ParamWindowBuild)->Unit(benchmark::kMillisecond)->Iterations(20);

// "Программируемые параметры" from the menu until the window is shown and
// painted; `stall_ms` is the longest time the event loop (and with it the
// exchange's timer) waited on any one step.
void BM_MenuToVisibleWindow(benchmark::State& state) {
  zart::testing::FakeSerialPort port;
  zart::testing::FakeLinkView view;
  zart::testing::ScriptedPrompter prompter;
  zart::link::ExchangeCycle cycle(port, view);
  double stall = 0;
  for (auto _ : state) {
    zart::ui::ParamWindowController controller(cycle, nullptr, view, prompter);
    QElapsedTimer step;
    step.start();
    controller.OpenParamWindow();
    stall = std::max(stall, static_cast<double>(step.nsecsElapsed()) / 1e6);
    step.restart();
    QCoreApplication::processEvents();  // the first show: layout and paint
    stall = std::max(stall, static_cast<double>(step.nsecsElapsed()) / 1e6);
    state.PauseTiming();
    if (controller.Window() == nullptr || !controller.Window()->isVisible()) state.SkipWithError("no window");
    controller.Editor().AbortTransfers();
    state.ResumeTiming();
  }
  state.counters["stall_ms"] = stall;
}
BENCHMARK(BM_MenuToVisibleWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

// The start of a read-all: every box white, then every box green as the
// replies come in.
void BM_RecolourAllBoxes(benchmark::State& state) {
  zart::params::ParamSet set;
  ParamWindow window(nullptr, set);
  window.Form_Load();
  set.SetListener(&window);
  window.show();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    set.SetAllStates(zart::params::SlotState::changed);
    set.SetAllStates(zart::params::SlotState::from_eeprom);
    QCoreApplication::processEvents();
  }
  set.SetListener(nullptr);
}
BENCHMARK(BM_RecolourAllBoxes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
