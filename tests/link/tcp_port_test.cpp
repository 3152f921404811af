// The TCP link against a gateway played by a QTcpServer on 127.0.0.1. Every
// wait is bounded; nothing leaves the loopback address.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <functional>
#include <memory>
#include <string>

#include "link/tcp_port.h"
#include "support/frames.h"

namespace zart::link {
namespace {

using testing::FromHex;
using testing::ToHex;

const auto kStatusRequest = FromHex("07 04 01 2C 00 7D F0 78");

/// Runs the event loop until `done` or `ms` have passed.
bool spinUntil(const std::function<bool()>& done, int ms) {
  for (const QDeadlineTimer deadline(ms); !done(); QThread::msleep(1)) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

/// What the exchange collects in `ms` (0: at once, without the event loop):
/// every byte waiting, read one by one.
std::string collect(TcpPort& port, int ms = 0) {
  std::vector<std::uint8_t> out;
  const auto take = [&] {
    while (port.BytesWaiting() > 0) out.push_back(static_cast<std::uint8_t>(port.ReadByte()));
    return false;
  };
  ms == 0 ? take() : spinUntil(take, ms);
  return ToHex(out);
}

/// A gateway that takes one client; the test speaks for it.
class Gateway {
 public:
  Gateway() { EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost)); }
  LinkAddress Address(NetMode mode) const { return {mode, QStringLiteral(u"127.0.0.1"), m_server.serverPort()}; }
  /// Opens the port and accepts it.
  bool Connect(TcpPort& port) {
    if (!port.Open().ok() || !spinUntil([&] { return m_server.hasPendingConnections() && port.IsOpen(); }, 3000)) return false;
    m_peer.reset(m_server.nextPendingConnection());
    return true;
  }
  /// What the client sent.
  std::string Read() {
    if (m_peer->bytesAvailable() == 0) m_peer->waitForReadyRead(1000);
    const QByteArray b = m_peer->readAll();
    return ToHex(std::span(reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())));
  }
  void Send(const std::vector<std::uint8_t>& b) {
    m_peer->write(reinterpret_cast<const char*>(b.data()), static_cast<qint64>(b.size()));
    m_peer->flush();
  }
  QTcpSocket& Peer() { return *m_peer; }

 private:
  QTcpServer m_server;
  std::unique_ptr<QTcpSocket> m_peer;
};

TEST(TcpPort, TransparentBytesBothWaysABoundOnAFloodAndADropMidReply) {
  Gateway gw;
  TcpPort port(gw.Address(NetMode::rtu_over_tcp));
  ASSERT_TRUE(port.Open().ok());
  EXPECT_EQ(port.ConnectionState(), TcpPort::State::connecting);
  EXPECT_FALSE(port.IsOpen()) << "the exchange writes only once connected";
  EXPECT_TRUE(port.Open().ok()) << "an attempt under way goes on";
  ASSERT_TRUE(gw.Connect(port));
  EXPECT_FALSE(port.Open().ok()) << "connected already";
  EXPECT_FALSE(port.SetAddress(gw.Address(NetMode::modbus_tcp)));

  port.Write(kStatusRequest);
  EXPECT_EQ(gw.Read(), ToHex(kStatusRequest));
  gw.Send(FromHex("07 84 02 22 C0"));
  QThread::msleep(20);
  EXPECT_EQ(collect(port), "07 84 02 22 C0") << "no event loop ran: the read polls";

  // A gateway pouring out bytes: what one request can bring is bounded, so
  // a tick reading "everything waiting" ends.
  port.Write(kStatusRequest);
  gw.Send(std::vector<std::uint8_t>(20000, 0x55));
  EXPECT_EQ(collect(port, 200).size(), 4096u * 3 - 1);
  EXPECT_GE(port.DroppedBytes(), 4096u);

  gw.Send(FromHex("07 04 FA 00"));  // half a reply, then the connection drops
  gw.Peer().abort();
  spinUntil([&] { return !port.IsOpen(); }, 2000);
  EXPECT_TRUE(port.DeviceLost());
  EXPECT_TRUE(port.LossReason().startsWith(QStringLiteral(u"шлюз закрыл соединение"))) << port.LossReason().toStdString();
  EXPECT_EQ(port.BytesWaiting(), 0);
  port.Write(kStatusRequest);  // harmless while closed

  ASSERT_TRUE(gw.Connect(port));  // opened again, the same gateway takes it back
  EXPECT_FALSE(port.DeviceLost());
  EXPECT_TRUE(port.LossReason().isEmpty());
  gw.Peer().abort();  // dropped while idle: the exchange's own poll finds it, without the event loop
  QThread::msleep(20);
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_TRUE(port.DeviceLost());
  port.Close();
  EXPECT_FALSE(port.DeviceLost()) << "closed on purpose";
}

TEST(TcpPort, ModbusTcpRepliesReachTheExchangeAsRtuFramesOfTheLastRequestOnly) {
  const char* const first = "00 01 00 00 00 06 07 04 01 2C 00 7D";
  // Requests sent, the last as it reaches the gateway, what the gateway
  // answers ("|" marks a pause), what the exchange collects, replies dropped.
  const struct {
    int requests;
    const char* lastRequest;
    const char* answer;
    const char* seen;
    std::uint64_t dropped;
  } cases[] = {
      {1, first, "00 01 00 00 00 03 07 84 02", "07 84 02 22 C0", 0},
      {1, first, "00 01 00 00 00 03 | 07 84 02", "07 84 02 22 C0", 0},
      {1, first, "00 02 00 00 00 03 07 84 02", "", 1},
      {1, first, "00 01 00 00 00 03 07 84 02 00 01 00 00 00 03 07 84 02", "07 84 02 22 C0", 1},
      {1, first, "", "", 0},
      // The exchange repeated the request; the first one's answer comes
      // late and must not pass for the second's.
      {2, "00 02 00 00 00 06 07 04 01 2C 00 7D", "00 01 00 00 00 03 07 84 02 | 00 02 00 00 00 03 07 84 03", "07 84 03 E3 00", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Gateway gw;
    TcpPort port(gw.Address(NetMode::modbus_tcp));
    ASSERT_TRUE(gw.Connect(port));
    std::string sent;
    for (int i = 0; i < c.requests; ++i) {
      port.Write(kStatusRequest);
      sent = gw.Read();
    }
    EXPECT_EQ(sent, c.lastRequest);
    for (const QByteArray& part : QByteArray(c.answer).split('|')) {
      gw.Send(FromHex(part.toStdString()));
      QThread::msleep(30);
    }
    int arrivals = 0;  // a fast exchange would judge the reply there and then
    port.SetArrivalHandler([&] { ++arrivals; });
    spinUntil([] { return false; }, 100);  // the event loop alone takes the bytes in
    EXPECT_EQ(arrivals, *c.seen ? 1 : 0);
    EXPECT_EQ(collect(port), c.seen);
    EXPECT_EQ(port.DroppedReplies(), c.dropped);
    EXPECT_TRUE(port.IsOpen());
  }
}

/// Opens `port`, waits for the attempt to end by itself and returns why.
QString failure(TcpPort& port, int timeoutMs) {
  port.SetConnectTimeoutMs(timeoutMs);
  EXPECT_TRUE(port.Open().ok());
  EXPECT_TRUE(spinUntil([&] { return port.ConnectionState() == TcpPort::State::closed; }, timeoutMs + 2000));
  EXPECT_TRUE(port.DeviceLost());
  return port.LossReason();
}

TEST(TcpPort, ConnectionsThatCannotBeMadeEndByThemselvesAsALossWithAReason) {
  QTcpServer closed;  // a port that was free a moment ago
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  TcpPort refused({NetMode::rtu_over_tcp, QStringLiteral(u"127.0.0.1"), closed.serverPort()});
  closed.close();
  // Windows itself tries a refused connection for about 2 s.
  EXPECT_TRUE(failure(refused, 5000).startsWith(QStringLiteral(u"соединение отвергнуто")));
  // A name that cannot exist; a resolver that does not answer in time ends
  // it with the time-out instead.
  TcpPort unknown({NetMode::modbus_tcp, QStringLiteral(u"gateway.invalid"), 502});
  const QString why = failure(unknown, 2000);
  EXPECT_TRUE(why.startsWith(QStringLiteral(u"адрес не найден")) || why == QStringLiteral(u"шлюз не ответил за 2 с")) << why.toStdString();
#ifdef Q_OS_LINUX
  // A listener whose queue is full: Linux ignores further connection
  // requests, as a gateway that is switched off would.
  QTcpServer full;
  full.setListenBacklogSize(0);
  full.setMaxPendingConnections(0);  // never accepted
  ASSERT_TRUE(full.listen(QHostAddress::LocalHost));
  QTcpSocket filler;  // takes the one place in the queue
  filler.connectToHost(QHostAddress::LocalHost, full.serverPort());
  ASSERT_TRUE(filler.waitForConnected(1000));
  TcpPort silent({NetMode::modbus_tcp, QStringLiteral(u"127.0.0.1"), full.serverPort()});
  EXPECT_EQ(failure(silent, 300), QStringLiteral(u"шлюз не ответил за 0,3 с"));
#endif
}

}  // namespace
}  // namespace zart::link
