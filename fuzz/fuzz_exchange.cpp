// The bytes of one exchange through the reply check, the dispatch, the
// status decoding and the parameter-reply handling. The receive store and
// the queue live on between inputs, as they do between ticks.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_fakes.h"
#include "link/crc.h"
#include "link/exchange_cycle.h"
#include "monitor/status_decoder.h"
#include "params/param_editor.h"
#include "params/param_set.h"
#include "support/fake_serial_port.h"

namespace {

struct World {
  zart::testing::FakeSerialPort port;
  zart::fuzz::View view;
  zart::params::ParamSet set;
  zart::link::ExchangeCycle cycle{port, view};
  zart::monitor::StatusDecoder decoder{view};
  zart::params::ParamEditor editor{cycle, set, &view};

  World() {
    port.openable = {1};
    (void)port.Open();
    cycle.SetStatusHandler([this](const zart::link::Reply& r) { decoder.DecodeStatus(r.rx); });
    cycle.SetParamHandler([this](const zart::link::Reply& r) { editor.HandleParamReply(r); });
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World world;
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  std::vector<std::uint8_t> bytes(data + 1, data + size);
  // Most random frames fail the CRC; half of the inputs get a correct one so
  // that the decoders behind the check are reached.
  if ((mode & 1) && !bytes.empty()) {
    const auto crc = zart::link::CrcWireBytes(zart::link::Crc16Modbus(bytes, static_cast<int>(bytes.size()) - 1));
    bytes.push_back(crc.low);
    bytes.push_back(crc.high);
  }
  if (mode & 2) world.editor.ReadAllParams();
  if (mode & 4) world.editor.WriteAllParams();
  if (mode & 8) world.editor.AbortTransfers();
  world.port.written.clear();
  world.port.Receive(bytes);
  world.cycle.ExchangeTick();
  return 0;
}
