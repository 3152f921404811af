// The differences list and the service report at the size of the whole
// catalogue. Goal on the team's machine: under 50 ms each.
#include <benchmark/benchmark.h>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/param_set.h"
#include "params/param_diff.h"
#include "params/param_files.h"
#include "params/service_report.h"
#include "params/write_verifier.h"
#include "settings/ini_file.h"

namespace {

using namespace zart;

struct Setup {
  Setup() {
    const params::ParamCatalogue& cat = params::kCatalogue;
    for (int k = 0; k < params::kSlotCount; ++k) {
      set.SetText(k, cat.IsText(k) ? QStringLiteral(u"Датчик %1").arg(k) : QStringLiteral("%1,5 ").arg(k % 200),
                  params::SlotState::from_eeprom);
      // Every slot differs from the file, the worst case for the list.
      file.Write(QStringLiteral("Parameters"), params::ParamFiles::ParamFileKey(k),
                 cat.IsText(k) ? QStringLiteral(u"Насос %1").arg(k) : QStringLiteral("%1").arg(k % 200 + 1));
    }
  }
  params::ParamSet set;
  settings::IniFile file;
};

void BM_DifferencesListAllSlotsDiffer(benchmark::State& state) {
  Setup s;
  for (auto _ : state) {
    params::DiffList list = params::ParamDiff::CompareWithFile(s.set, s.file, QStringLiteral("site.ini"));
    benchmark::DoNotOptimize(list);
    if (list.differs != params::kSlotCount) state.SkipWithError("not every slot differs");
  }
}
BENCHMARK(BM_DifferencesListAllSlotsDiffer)->Unit(benchmark::kMillisecond);

void BM_WriteCheckCompareAllSlotsDiffer(benchmark::State& state) {
  const Setup s;
  std::vector<std::vector<std::uint8_t>> written(params::kSlotCount);
  std::vector<std::vector<std::uint8_t>> read(params::kSlotCount);
  for (int k = 0; k < params::kSlotCount; ++k) {
    const auto n = static_cast<std::size_t>(params::kCatalogue.par_size[static_cast<std::size_t>(k)]);
    written[static_cast<std::size_t>(k)].assign(n, 0x41);
    read[static_cast<std::size_t>(k)].assign(n, 0x42);
  }
  for (auto _ : state) benchmark::DoNotOptimize(params::WriteVerifier::Compare(written, read));
}
BENCHMARK(BM_WriteCheckCompareAllSlotsDiffer)->Unit(benchmark::kMillisecond);

void BM_ServiceReportModelAndHtml(benchmark::State& state) {
  Setup s;
  const params::DiffList diff = params::ParamDiff::CompareWithFile(s.set, s.file, QStringLiteral("site.ini"));
  params::ReportIdentity id{QStringLiteral(u"ДГУ"), QStringLiteral("2"), QStringLiteral("15"), 7,
                            QStringLiteral("2057"), QDateTime::currentDateTime()};
  for (auto _ : state) {
    const params::ServiceReport report =
        params::ServiceReport::Build(s.set, id, state.range(0) != 0 ? &diff : nullptr);
    benchmark::DoNotOptimize(report.ToHtml());
  }
}
BENCHMARK(BM_ServiceReportModelAndHtml)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
