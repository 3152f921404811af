// The network link's costs: Modbus TCP framing of a status reply, what
// reading a status reply through the TCP link adds to a tick, and a whole
// request and reply over loopback (informational: it is mostly the
// system's).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <array>
#include <memory>
#include <vector>

#include "link/crc.h"
#include "link/mbap_deframer.h"
#include "link/mbap_frame.h"
#include "link/qt_serial_port.h"
#include "link/tcp_port.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

using zart::link::NetMode;

std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> body) {
  const auto crc = zart::link::CrcWireBytes(zart::link::Crc16Modbus(body, static_cast<int>(body.size()) - 1));
  body.push_back(crc.low);
  body.push_back(crc.high);
  return body;
}

std::vector<std::uint8_t> statusReply() {
  std::vector<std::uint8_t> body{0x07, 0x04, 250};
  for (int i = 0; i < 250; ++i) body.push_back(static_cast<std::uint8_t>(i * 7));
  return withCrc(body);
}

constexpr std::array<std::uint8_t, 8> kStatusRequest{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78};

// The reply as a converting gateway sends it, then as the link hands it on.
void BM_MbapStatusReply(benchmark::State& state) {
  const std::vector<std::uint8_t> rtu = statusReply();
  zart::link::MbapDeframer deframer;
  std::vector<std::uint8_t> out;
  out.reserve(256);
  std::uint16_t id = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t> adu = zart::link::MbapFromRtu(++id, rtu);
    std::span<const std::uint8_t> bytes(adu);
    out.clear();
    while (!bytes.empty()) {
      bytes = bytes.subspan(deframer.Feed(bytes));
      if (auto f = deframer.Frame()) zart::link::AppendRtuFromMbap(*f, out);
    }
    benchmark::DoNotOptimize(out.data());
  }
  if (out != rtu) state.SkipWithError("the reply did not come back whole");
}
BENCHMARK(BM_MbapStatusReply);

/// A TcpPort connected to a gateway played in the same thread.
struct Loopback {
  QTcpServer server;
  std::unique_ptr<QTcpSocket> peer;
  zart::link::TcpPort port;
  QByteArray reply;

  explicit Loopback(NetMode mode) {
    server.listen(QHostAddress::LocalHost);
    (void)port.SetAddress({mode, QStringLiteral(u"127.0.0.1"), server.serverPort()});
    (void)port.Open();
    const QDeadlineTimer deadline(3000);
    while (!(port.IsOpen() && server.hasPendingConnections()) && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    peer.reset(server.nextPendingConnection());
    const std::vector<std::uint8_t> rtu = statusReply();
    const std::vector<std::uint8_t> adu = zart::link::MbapFromRtu(1, rtu);
    const auto& bytes = mode == NetMode::modbus_tcp ? adu : rtu;
    reply = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  }
  bool ok() const { return peer && port.IsOpen(); }

  /// The gateway reads the request and answers it with the status reply
  /// (the transaction id of the last request).
  void answer() {
    if (!peer->waitForReadyRead(1000)) return;
    const QByteArray request = peer->readAll();
    if (request.size() >= 2 && reply.size() == 7 + 252) {
      reply[0] = request[0];
      reply[1] = request[1];
    }
    peer->write(reply);
    peer->flush();
  }
  /// What a tick does with the port: everything waiting, byte by byte,
  /// until the whole reply is in.
  int collect() {
    int n = 0;
    const QDeadlineTimer deadline(1000);
    while (n < 255 && !deadline.hasExpired()) {
      while (port.BytesWaiting() > 0) n += port.ReadByte() >= 0 ? 1 : 0;
    }
    return n;
  }
};

// Reading a status reply that has arrived, and sending the next request:
// the link's share of a tick.
void BM_TcpPortTickShare(benchmark::State& state) {
  Loopback link(state.range(0) ? NetMode::modbus_tcp : NetMode::rtu_over_tcp);
  if (!link.ok()) return state.SkipWithError("no loopback connection");
  link.port.Write(kStatusRequest);
  for (auto _ : state) {
    state.PauseTiming();
    link.answer();
    state.ResumeTiming();
    if (link.collect() != 255) return state.SkipWithError("reply lost");
    link.port.Write(kStatusRequest);
  }
}
BENCHMARK(BM_TcpPortTickShare)->ArgName("modbus_tcp")->Arg(0)->Arg(1);

// The same share with the serial port on a pseudo-terminal, for comparison.
void BM_SerialPortTickShare(benchmark::State& state) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return state.SkipWithError("no pty");
  zart::link::QtSerialPort port(zart::link::PortMap({{1, QString::fromLocal8Bit(::ptsname(master))}}));
  if (!port.Open().ok()) return state.SkipWithError("pty does not open");
  const std::vector<std::uint8_t> reply = statusReply();
  char sink[64];
  for (auto _ : state) {
    state.PauseTiming();
    if (::write(master, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) return state.SkipWithError("write");
    pollfd p{master, POLLIN, 0};
    ::usleep(200);  // the pty hands the bytes on to the reading side
    state.ResumeTiming();
    int n = 0;
    const QDeadlineTimer deadline(1000);
    while (n < 255 && !deadline.hasExpired()) {
      while (port.BytesWaiting() > 0) n += port.ReadByte() >= 0 ? 1 : 0;
    }
    if (n != 255) return state.SkipWithError("reply lost");
    port.Write(kStatusRequest);
    state.PauseTiming();
    for (int wait = 100; ::poll(&p, 1, wait) > 0 && (p.revents & POLLIN) && ::read(master, sink, sizeof sink) > 0;) wait = 0;
    state.ResumeTiming();
  }
  port.Close();
  ::close(master);
}
BENCHMARK(BM_SerialPortTickShare);

// The whole request and reply over loopback, the gateway's side included.
void BM_TcpPortRoundTrip(benchmark::State& state) {
  Loopback link(state.range(0) ? NetMode::modbus_tcp : NetMode::rtu_over_tcp);
  if (!link.ok()) return state.SkipWithError("no loopback connection");
  for (auto _ : state) {
    link.port.Write(kStatusRequest);
    link.answer();
    if (link.collect() != 255) return state.SkipWithError("reply lost");
  }
}
BENCHMARK(BM_TcpPortRoundTrip)->ArgName("modbus_tcp")->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);  // the sockets need the thread's event dispatcher
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
