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
#include <vector>

#include "link/tcp_port.h"

namespace zart::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

QByteArray bytesOf(const char* hexText) { return QByteArray::fromHex(QByteArray(hexText).replace(' ', "")); }
std::string hexOf(const QByteArray& b) { return b.toHex(' ').toUpper().toStdString(); }

/// Runs the event loop until `done` or `ms` have passed.
bool spinUntil(const std::function<bool()>& done, int ms) {
  const QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

/// What the exchange would collect: every byte waiting, read one by one.
QByteArray collect(TcpPort& port) {
  QByteArray out;
  while (port.BytesWaiting() > 0) out.append(static_cast<char>(port.ReadByte()));
  return out;
}

/// Collects for `ms`, running the event loop meanwhile.
QByteArray collectFor(TcpPort& port, int ms) {
  QByteArray out;
  spinUntil([&] {
    out += collect(port);
    return false;
  }, ms);
  return out;
}

/// A gateway that takes one client; the test speaks for it.
class Gateway {
 public:
  Gateway() { EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost)); }
  LinkAddress Address(NetMode mode) const { return {mode, QStringLiteral(u"127.0.0.1"), m_server.serverPort()}; }

  /// Accepts the client (running the event loop until it is in).
  bool Accept(TcpPort& port) {
    if (!spinUntil([&] { return m_server.hasPendingConnections() && port.IsOpen(); }, 3000)) return false;
    m_peer.reset(m_server.nextPendingConnection());
    return true;
  }
  /// What the client sent within `ms`.
  QByteArray Read(int ms = 1000) {
    QByteArray out;
    if (m_peer && (m_peer->bytesAvailable() > 0 || m_peer->waitForReadyRead(ms))) out = m_peer->readAll();
    return out;
  }
  void Send(const QByteArray& b) {
    m_peer->write(b);
    m_peer->flush();
  }
  void Drop() { m_peer->abort(); }

 private:
  QTcpServer m_server;
  std::unique_ptr<QTcpSocket> m_peer;
};

TEST(TcpPort, TransparentBytesBothWaysABoundOnAFloodAndADropMidReply) {
  Gateway gw;
  TcpPort port(gw.Address(NetMode::rtu_over_tcp));
  EXPECT_EQ(port.LinkName(), QStringLiteral(u"127.0.0.1:%1").arg(gw.Address(NetMode::rtu_over_tcp).port));
  ASSERT_TRUE(port.Open().ok());
  EXPECT_FALSE(port.IsOpen());  // connecting: the exchange does not write yet
  EXPECT_EQ(port.ConnectionState(), TcpPort::State::connecting);
  ASSERT_TRUE(gw.Accept(port));
  EXPECT_FALSE(port.Open().ok());  // connected already
  EXPECT_FALSE(port.SetAddress(gw.Address(NetMode::modbus_tcp)));

  const QByteArray request = bytesOf("07 04 01 2C 00 7D F0 78");
  port.Write(std::span(reinterpret_cast<const std::uint8_t*>(request.constData()), 8));
  EXPECT_EQ(hexOf(gw.Read()), hexOf(request));
  gw.Send(bytesOf("07 84 02 22 C0"));
  QThread::msleep(20);
  EXPECT_EQ(hexOf(collect(port)), "07 84 02 22 C0");  // no event loop ran: the read polls

  // A gateway pouring out bytes: what one request can bring is bounded, so
  // a tick that reads "everything waiting" ends.
  port.Write(std::span(reinterpret_cast<const std::uint8_t*>(request.constData()), 8));
  gw.Send(QByteArray(20000, '\x55'));
  const QByteArray flood = collectFor(port, 200);
  EXPECT_EQ(flood.size(), 4096);
  EXPECT_GE(port.DroppedBytes(), 4096u);

  gw.Send(bytesOf("07 04 FA 00"));  // half a reply, then the connection drops
  gw.Drop();
  spinUntil([&] { return !port.IsOpen(); }, 2000);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(port.DeviceLost());
  EXPECT_TRUE(port.LossReason().startsWith(QStringLiteral(u"шлюз закрыл соединение"))) << port.LossReason().toStdString();
  EXPECT_EQ(port.BytesWaiting(), 0);
  port.Write(std::span(reinterpret_cast<const std::uint8_t*>(request.constData()), 8));  // harmless

  // Opened again, the same gateway takes it back.
  ASSERT_TRUE(port.Open().ok());
  EXPECT_FALSE(port.DeviceLost());
  EXPECT_TRUE(port.LossReason().isEmpty());
  ASSERT_TRUE(gw.Accept(port));
  port.Close();
  EXPECT_FALSE(port.DeviceLost());  // closed on purpose
}

// One request through a converting gateway and what the gateway answers.
struct GatewayCase {
  const char* name;
  const char* answer;  // bytes the gateway sends back, "|" marks a pause
  const char* seen;    // what the exchange collects
  std::uint64_t droppedReplies;
};

void PrintTo(const GatewayCase& c, std::ostream* os) { *os << c.name; }

class ModbusTcpGateway : public ::testing::TestWithParam<GatewayCase> {};

TEST_P(ModbusTcpGateway, RepliesReachTheExchangeAsRtuFrames) {
  const GatewayCase& c = GetParam();
  Gateway gw;
  TcpPort port(gw.Address(NetMode::modbus_tcp));
  ASSERT_TRUE(port.Open().ok());
  ASSERT_TRUE(gw.Accept(port));

  const QByteArray request = bytesOf("07 04 01 2C 00 7D F0 78");
  port.Write(std::span(reinterpret_cast<const std::uint8_t*>(request.constData()), 8));
  EXPECT_EQ(hexOf(gw.Read()), "00 01 00 00 00 06 07 04 01 2C 00 7D");
  for (const QByteArray& part : QByteArray(c.answer).split('|')) {
    gw.Send(bytesOf(part.constData()));
    QThread::msleep(30);
  }
  EXPECT_EQ(hexOf(collectFor(port, 150)), c.seen);
  EXPECT_EQ(port.DroppedReplies(), c.droppedReplies);
  EXPECT_TRUE(port.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ModbusTcpGateway,
    ::testing::Values(
        GatewayCase{"exception", "00 01 00 00 00 03 07 84 02", "07 84 02 22 C0", 0},
        GatewayCase{"split_in_two", "00 01 00 00 00 03 | 07 84 02", "07 84 02 22 C0", 0},
        GatewayCase{"wrong_transaction", "00 02 00 00 00 03 07 84 02", "", 1},
        GatewayCase{"answered_twice", "00 01 00 00 00 03 07 84 02 00 01 00 00 00 03 07 84 02", "07 84 02 22 C0", 1},
        GatewayCase{"garbage_first", "13 37 FF 00 01 00 00 00 03 07 84 02", "07 84 02 22 C0", 0},
        GatewayCase{"wrong_protocol_id", "00 01 00 05 00 03 07 84 02 | 00 01 00 00 00 03 07 84 02", "07 84 02 22 C0", 0},
        GatewayCase{"huge_length", "00 01 00 00 FF FF 07 84 02 00 00", "", 0},
        GatewayCase{"silent", "", "", 0}),
    [](const ::testing::TestParamInfo<GatewayCase>& p) { return std::string(p.param.name); });

TEST(TcpPort, ModbusTcpIdsRiseAndALateAnswerToARepeatIsDropped) {
  Gateway gw;
  TcpPort port(gw.Address(NetMode::modbus_tcp));
  ASSERT_TRUE(port.Open().ok());
  ASSERT_TRUE(gw.Accept(port));
  const QByteArray request = bytesOf("07 04 01 2C 00 7D F0 78");
  const auto send = [&] { port.Write(std::span(reinterpret_cast<const std::uint8_t*>(request.constData()), 8)); };
  send();
  EXPECT_EQ(hexOf(gw.Read()), "00 01 00 00 00 06 07 04 01 2C 00 7D");
  send();  // the exchange gave up on the first and repeats it
  EXPECT_EQ(hexOf(gw.Read()), "00 02 00 00 00 06 07 04 01 2C 00 7D");
  gw.Send(bytesOf("00 01 00 00 00 03 07 84 02"));  // the answer to the first, late
  EXPECT_EQ(hexOf(collectFor(port, 100)), "");
  gw.Send(bytesOf("00 02 00 00 00 03 07 84 03"));
  EXPECT_EQ(hexOf(collectFor(port, 100)), "07 84 03 E3 00");
  EXPECT_EQ(port.DroppedReplies(), 1u);
}

// Connections that cannot be made end by themselves with a reason.
struct FailureCase {
  const char* name;
  std::function<LinkAddress(QObject& keep)> address;  // `keep` owns what must outlive the attempt
  int timeoutMs;
  std::vector<const char*> reasons;  // one of them starts the reason
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class TcpPortFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TcpPortFailure, EndsByItselfAsALossWithAReason) {
  const FailureCase& c = GetParam();
  QObject keep;
  TcpPort port(c.address(keep));
  port.SetConnectTimeoutMs(c.timeoutMs);
  ASSERT_TRUE(port.Open().ok());
  EXPECT_TRUE(spinUntil([&] { return port.ConnectionState() == TcpPort::State::closed; }, c.timeoutMs + 2000));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(port.DeviceLost());
  bool matched = false;
  for (const char* r : c.reasons) matched = matched || port.LossReason().startsWith(QString::fromUtf8(r));
  EXPECT_TRUE(matched) << port.LossReason().toStdString();
}

LinkAddress closedPort(QObject&) {
  QTcpServer s;
  EXPECT_TRUE(s.listen(QHostAddress::LocalHost));
  return {NetMode::rtu_over_tcp, QStringLiteral(u"127.0.0.1"), s.serverPort()};  // closed as `s` goes
}

#ifdef Q_OS_LINUX
/// A listener whose queue is full: the kernel ignores further connection
/// requests, so a connect hangs as towards a gateway that is switched off.
LinkAddress fullQueue(QObject& keep) {
  auto* server = new QTcpServer(&keep);
  server->setListenBacklogSize(0);
  server->setMaxPendingConnections(0);  // never accepted
  EXPECT_TRUE(server->listen(QHostAddress::LocalHost));
  auto* filler = new QTcpSocket(&keep);  // takes the one place in the queue
  filler->connectToHost(QHostAddress::LocalHost, server->serverPort());
  EXPECT_TRUE(filler->waitForConnected(1000));
  return {NetMode::modbus_tcp, QStringLiteral(u"127.0.0.1"), server->serverPort()};
}
#endif

std::vector<FailureCase> failureCases() {
  std::vector<FailureCase> cases{
      {"refused", closedPort, 2000, {"соединение отвергнуто"}},
      // A name that cannot exist; a resolver that does not answer in time
      // ends it with the time-out instead.
      {"no_such_host",
       [](QObject&) { return LinkAddress{NetMode::modbus_tcp, QStringLiteral(u"gateway.invalid"), 502}; },
       2000,
       {"адрес не найден", "шлюз не ответил за 2 с"}},
  };
#ifdef Q_OS_LINUX
  // How a full queue behaves is the kernel's; Linux ignores the request.
  cases.push_back({"no_answer_to_connect", fullQueue, 300, {"шлюз не ответил за 0,3 с"}});
#endif
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Failures, TcpPortFailure, ::testing::ValuesIn(failureCases()),
                         [](const ::testing::TestParamInfo<FailureCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zart::link

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
