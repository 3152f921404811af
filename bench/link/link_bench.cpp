// One exchange tick with a full 255-byte status reply, and the CRC itself.
#include <benchmark/benchmark.h>

#include <vector>

#include "link/crc.h"
#include "link/exchange_cycle.h"
#include "link/frame_recorder.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"

namespace {

using zart::link::Crc16Modbus;
using zart::link::CrcWireBytes;

std::vector<std::uint8_t> statusReply() {
  std::vector<std::uint8_t> body{0x07, 0x04, 250};
  for (int i = 0; i < 250; ++i) body.push_back(static_cast<std::uint8_t>(i * 7));
  const auto crc = CrcWireBytes(Crc16Modbus(body, static_cast<int>(body.size()) - 1));
  body.push_back(crc.low);
  body.push_back(crc.high);
  return body;
}

void BM_Crc16Modbus255(benchmark::State& state) {
  const std::vector<std::uint8_t> bytes = statusReply();
  for (auto _ : state) benchmark::DoNotOptimize(Crc16Modbus(bytes, 252));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 253);
}
BENCHMARK(BM_Crc16Modbus255);

// A tick that collects a status reply, validates it, dispatches it to a
// handler and sends the heartbeat; the next tick, untimed, answers that.
// With state.range(0) = 1 the tick also records both frames for the
// traffic monitor, as the program always does.
void BM_ExchangeTickStatusReply(benchmark::State& state) {
  zart::testing::FakeSerialPort port;
  zart::testing::FakeLinkView view;
  port.openable = {1};
  (void)port.Open();
  zart::link::ExchangeCycle cycle(port, view);
  zart::link::FrameRecorder recorder;
  if (state.range(0) != 0) cycle.SetRecorder(&recorder);
  int decoded = 0;
  cycle.SetStatusHandler([&](const zart::link::Reply& r) { decoded += r.rx[5]; });
  const std::vector<std::uint8_t> reply = statusReply();
  std::vector<std::uint8_t> echo{0x07, 0x10, 0x01, 0x90, 0x00, 0x02};
  const auto crc = CrcWireBytes(Crc16Modbus(echo, 5));
  echo.push_back(crc.low);
  echo.push_back(crc.high);
  cycle.ExchangeTick();
  for (auto _ : state) {
    port.Receive(reply);
    cycle.ExchangeTick();
    state.PauseTiming();
    port.Receive(echo);
    cycle.ExchangeTick();
    port.written.clear();
    state.ResumeTiming();
  }
  benchmark::DoNotOptimize(decoded);
}
BENCHMARK(BM_ExchangeTickStatusReply)->ArgName("recording")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
