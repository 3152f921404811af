// zart-soak: the program against zart-sim for a long run with faults
// switched on and off; prints what happened and fails when memory grew or
// the exchange stalled. Run a Release build: tools/soak [--seconds N].
#include <cstdio>
#include <cstring>
#include <string>

#include <QApplication>

#include "soak_run.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: zart-soak [--seconds N] [--seed N]\n"
               "  --seconds N  length of the measured run after the warm-up (default 600)\n"
               "  --seed N     seed of the simulator's noise (default 1)\n");
}

bool ParseInt(const char* text, int lo, int& out) {
  try {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used != std::strlen(text) || value < lo) return false;
    out = value;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  zart::soak::SoakOptions options;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--seconds") == 0 && hasValue && ParseInt(argv[i + 1], 1, options.seconds)) {
      ++i;
    } else if (std::strcmp(argv[i], "--seed") == 0 && hasValue && ParseInt(argv[i + 1], 0, options.seed)) {
      ++i;
    } else {
      Usage();
      return 2;
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zart::soak::SoakRun run(options);
  return run.Run();
}
