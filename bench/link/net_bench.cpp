// The network link's costs: Modbus TCP framing of a status reply, one
// exchange tick over each kind of link, and a whole request and reply over
// loopback (informational: it is mostly the system's).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "controller.h"
#include "link/crc.h"
#include "link/exchange_cycle.h"
#include "link/mbap_deframer.h"
#include "link/mbap_frame.h"
#include "link/qt_serial_port.h"
#include "link/tcp_port.h"
#include "support/fake_link_view.h"

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

/// The controller at the far end of a link: reads what the tool wrote and
/// answers it, through a pseudo-terminal or a gateway's socket.
struct FarEnd {
  zart::sim::Controller controller{zart::sim::EepromImage::Defaults(0), 7};
  std::function<std::vector<std::uint8_t>()> read;
  std::function<void(const std::vector<std::uint8_t>&)> write;

  void Answer() {
    const std::vector<std::uint8_t> request = read();
    if (auto reply = controller.HandleRequest(request)) write(*reply);
  }
};

// One exchange tick over a real link with the controller's reply taken in
// by the event loop, as the program runs it: collecting it, judging it,
// handing it on and sending the next request.
// Status reads (255-byte replies) and heartbeats alternate, as when idle.
// link: 0 the serial port on a pseudo-terminal, 1 a transparent gateway,
// 2 a converting one (Modbus TCP), both over loopback.
void BM_ExchangeTickOverLink(benchmark::State& state) {
  const auto kind = state.range(0);
  FarEnd far;
  int master = -1;
  std::unique_ptr<zart::link::QtSerialPort> serial;
  std::unique_ptr<Loopback> net;
  zart::link::Port* port = nullptr;
  if (kind == 0) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return state.SkipWithError("no pty");
    serial = std::make_unique<zart::link::QtSerialPort>(zart::link::PortMap({{1, QString::fromLocal8Bit(::ptsname(master))}}));
    if (!serial->Open().ok()) return state.SkipWithError("pty does not open");
    port = serial.get();
    far.read = [master] {
      std::vector<std::uint8_t> b(512);
      pollfd p{master, POLLIN, 0};
      const ssize_t n = ::poll(&p, 1, 1000) > 0 ? ::read(master, b.data(), b.size()) : 0;
      b.resize(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
      return b;
    };
    far.write = [master](const std::vector<std::uint8_t>& b) { (void)!::write(master, b.data(), b.size()); };
  } else {
    net = std::make_unique<Loopback>(kind == 2 ? NetMode::modbus_tcp : NetMode::rtu_over_tcp);
    if (!net->ok()) return state.SkipWithError("no loopback connection");
    port = &net->port;
    auto transaction = std::make_shared<std::uint16_t>(0);
    far.read = [&net, kind, transaction] {
      net->peer->waitForReadyRead(1000);
      const QByteArray in = net->peer->readAll();
      std::vector<std::uint8_t> b(in.begin(), in.end());
      if (kind != 2 || b.size() < 8) return b;
      *transaction = static_cast<std::uint16_t>(b[0] << 8 | b[1]);
      zart::link::MbapDeframer deframer;
      std::vector<std::uint8_t> rtu;
      deframer.Feed(b);
      if (auto f = deframer.Frame()) zart::link::AppendRtuFromMbap(*f, rtu);
      return rtu;
    };
    far.write = [&net, kind, transaction](const std::vector<std::uint8_t>& rtu) {
      const std::vector<std::uint8_t> b = kind == 2 ? zart::link::MbapFromRtu(*transaction, rtu) : rtu;
      net->peer->write(reinterpret_cast<const char*>(b.data()), static_cast<qint64>(b.size()));
      net->peer->flush();
    };
  }
  zart::testing::FakeLinkView view;
  zart::link::ExchangeCycle cycle(*port, view);
  cycle.ExchangeTick();  // the first status read goes out
  for (auto _ : state) {
    state.PauseTiming();
    far.Answer();
    ::usleep(300);  // the reply reaches the tool's side of the link
    // As in the program: the event loop takes the bytes in, and the tick
    // that judges them runs on their arrival.
    QCoreApplication::processEvents();
    state.ResumeTiming();
    cycle.ExchangeTick();
  }
  if (cycle.Counters().validReplies + 2 < static_cast<std::uint64_t>(state.iterations())) state.SkipWithError("replies lost");
  port->Close();
  if (master >= 0) ::close(master);
}
BENCHMARK(BM_ExchangeTickOverLink)->ArgName("link")->Arg(0)->Arg(1)->Arg(2);

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
