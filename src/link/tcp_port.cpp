#include "link/tcp_port.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include <QTcpSocket>
#include <QTimer>

#include "link/mbap_deframer.h"
#include "link/mbap_frame.h"
#include "link/readable_now.h"

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace zart::link {

namespace {

/// Bytes handed to the exchange between two requests in transparent mode.
/// A reply is at most 256 bytes; a gateway that streams far more is broken
/// or hostile, and bounding what one tick reads keeps the window alive.
constexpr std::size_t kRxBudget = 4096;
/// What Qt may hold unread; beyond it the system's own buffer fills and TCP
/// holds the sender back.
constexpr qint64 kSocketBufferLimit = 64 * 1024;
/// A connection whose sent data goes unacknowledged this long is dead (a
/// VPN that went away without a word); without a bound TCP retries for
/// many minutes while the user sees only missing replies.
constexpr unsigned kUnacknowledgedLimitMs = 10000;

QString phraseOf(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return QStringLiteral(u"соединение отвергнуто");
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral(u"шлюз закрыл соединение");
    case QAbstractSocket::HostNotFoundError: return QStringLiteral(u"адрес не найден");
    case QAbstractSocket::SocketAccessError: return QStringLiteral(u"доступ запрещён");
    case QAbstractSocket::SocketResourceError: return QStringLiteral(u"не хватает ресурсов системы");
    case QAbstractSocket::SocketTimeoutError: return QStringLiteral(u"время ожидания истекло");
    case QAbstractSocket::NetworkError: return QStringLiteral(u"сеть недоступна");
    case QAbstractSocket::AddressInUseError:
    case QAbstractSocket::SocketAddressNotAvailableError: return QStringLiteral(u"адрес недоступен");
    case QAbstractSocket::UnsupportedSocketOperationError: return QStringLiteral(u"адрес этого вида не поддерживается");
    case QAbstractSocket::DatagramTooLargeError:
    case QAbstractSocket::UnfinishedSocketOperationError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
    case QAbstractSocket::OperationError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
    case QAbstractSocket::TemporaryError:
    case QAbstractSocket::UnknownSocketError: break;
  }
  return QStringLiteral(u"ошибка сети");
}

}  // namespace

struct TcpPort::Impl {
  LinkAddress address;
  int connectTimeoutMs = kConnectTimeoutMs;
  QTcpSocket socket;
  QTimer connectTimer;
  State state = State::closed;
  bool lost = false;
  QString reason;
  std::function<void()> arrival;

  std::vector<std::uint8_t> pending;  // bytes for the exchange, not yet read
  std::size_t pendingPos = 0;
  std::size_t handedSinceWrite = 0;
  MbapDeframer deframer;
  std::uint16_t transaction = 0;
  std::optional<std::uint16_t> expected;  // the id a reply may carry now
  std::uint64_t droppedReplies = 0;
  std::uint64_t droppedBytes = 0;
  std::vector<std::uint8_t> chunk = std::vector<std::uint8_t>(4096);
  std::array<std::uint8_t, kMbapHeaderSize> requestHeader{};
  std::array<std::uint8_t, kMbapHeaderSize> replyHeader{};
  bool hasRequestHeader = false;
  bool hasReplyHeader = false;
  bool pumping = false;
  bool closing = false;

  bool mbap() const { return address.mode == NetMode::modbus_tcp; }
  std::size_t unread() const { return pending.size() - pendingPos; }

  void clearData() {
    pending.clear();
    pendingPos = 0;
    handedSinceWrite = 0;
    deframer.Reset();
    expected.reset();
    hasRequestHeader = false;
    hasReplyHeader = false;
  }

  /// Ends the connection or the attempt. With a reason the link counts as
  /// lost.
  void shutDown(const QString& why) {
    if (closing) return;
    closing = true;
    connectTimer.stop();
    socket.abort();
    closing = false;
    state = State::closed;
    clearData();
    if (!why.isNull()) {
      lost = true;
      reason = why;
    }
  }

  void onConnected() {
    connectTimer.stop();
    state = State::connected;
    // Requests are small and each waits for its answer: send at once.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const unsigned limit = kUnacknowledgedLimitMs;
    (void)::setsockopt(static_cast<int>(socket.socketDescriptor()), IPPROTO_TCP, TCP_USER_TIMEOUT, &limit, sizeof limit);
#endif
  }

  void onError(QAbstractSocket::SocketError error) {
    // A zero-time poll that found nothing reports a time-out; that is no
    // fault of the link.
    if (error == QAbstractSocket::SocketTimeoutError || closing || state == State::closed) return;
    QString why = phraseOf(error);
    const QString raw = socket.errorString();
    if (!raw.isEmpty() && raw.compare(why, Qt::CaseInsensitive) != 0) why += QStringLiteral(u" (") + raw + QStringLiteral(u")");
    shutDown(why);
  }

  void onConnectTimeout() {
    if (state != State::connecting) return;
    const double seconds = connectTimeoutMs / 1000.0;
    shutDown(QStringLiteral(u"шлюз не ответил за %1 с").arg(QString::number(seconds, 'g', 3).replace(u'.', u',')));
  }

  void feedMbap(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      bytes = bytes.subspan(deframer.Feed(bytes));
      const std::optional<MbapFrame> frame = deframer.Frame();
      if (!frame) continue;
      // One reply per request: the id of the last one, and only once, so a
      // gateway that answers twice cannot fill the exchange's store.
      if (expected && frame->transaction == *expected) {
        AppendRtuFromMbap(*frame, pending);
        expected.reset();
        // Kept for the traffic monitor; the de-framer passes protocol id 0 only.
        const std::size_t length = frame->pdu.size() + 1;
        replyHeader = {static_cast<std::uint8_t>(frame->transaction >> 8), static_cast<std::uint8_t>(frame->transaction),
                       0,
                       0,
                       static_cast<std::uint8_t>(length >> 8),
                       static_cast<std::uint8_t>(length),
                       frame->unit};
        hasReplyHeader = true;
      } else {
        ++droppedReplies;
      }
    }
  }

  void take(std::span<const std::uint8_t> bytes) {
    if (mbap()) {
      const std::uint64_t before = deframer.DroppedBytes();
      feedMbap(bytes);
      droppedBytes += deframer.DroppedBytes() - before;
      return;
    }
    const std::size_t room = kRxBudget > handedSinceWrite ? kRxBudget - handedSinceWrite : 0;
    const std::size_t n = std::min(room, bytes.size());
    pending.insert(pending.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    handedSinceWrite += n;
    droppedBytes += bytes.size() - n;
  }

  /// Moves what the socket holds into `pending`. With `poll`, first asks
  /// the system for bytes the event loop has not fetched yet.
  void pump(bool poll) {
    if (pumping || state != State::connected) return;
    pumping = true;
    if (pendingPos >= pending.size()) {
      pending.clear();
      pendingPos = 0;
    }
    if (poll && socket.bytesAvailable() == 0 && ReadableNow(socket.socketDescriptor())) socket.waitForReadyRead(0);
    // The poll may have found the connection gone; the handlers then
    // closed the link.
    while (state == State::connected && socket.bytesAvailable() > 0) {
      const qint64 n = socket.read(reinterpret_cast<char*>(chunk.data()), static_cast<qint64>(chunk.size()));
      if (n <= 0) break;
      take(std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(n)));
    }
    pumping = false;
  }

  void onReadyRead() {
    if (pumping) return;  // the exchange is reading; it takes the bytes itself
    const std::size_t before = unread();
    pump(false);
    if (arrival && unread() > before) arrival();
  }
};

TcpPort::TcpPort(LinkAddress address) : m(std::make_unique<Impl>()) {
  m->address = std::move(address);
  m->socket.setReadBufferSize(kSocketBufferLimit);
  m->connectTimer.setSingleShot(true);
  Impl* impl = m.get();
  QObject::connect(&m->socket, &QAbstractSocket::connected, &m->socket, [impl] { impl->onConnected(); });
  QObject::connect(&m->socket, &QAbstractSocket::errorOccurred, &m->socket,
                   [impl](QAbstractSocket::SocketError e) { impl->onError(e); });
  QObject::connect(&m->socket, &QAbstractSocket::disconnected, &m->socket, [impl] {
    // Mostly preceded by an error that has closed the link already.
    if (impl->state != State::closed) impl->shutDown(phraseOf(QAbstractSocket::RemoteHostClosedError));
  });
  QObject::connect(&m->socket, &QIODevice::readyRead, &m->socket, [impl] { impl->onReadyRead(); });
  QObject::connect(&m->connectTimer, &QTimer::timeout, &m->connectTimer, [impl] { impl->onConnectTimeout(); });
}

TcpPort::~TcpPort() {
  // The socket aborts in its destructor and signals it; nothing here may
  // hear that any more.
  QObject::disconnect(&m->socket, nullptr, nullptr, nullptr);
  m->socket.abort();
}

bool TcpPort::SetAddress(const LinkAddress& address) {
  if (m->state != State::closed) return false;
  if (!(address == m->address)) m->lost = false;
  m->address = address;
  return true;
}

const LinkAddress& TcpPort::Address() const { return m->address; }

void TcpPort::SetConnectTimeoutMs(int ms) { m->connectTimeoutMs = std::max(1, ms); }

OpenResult TcpPort::Open() {
  OpenResult result;
  if (m->state == State::connecting) return result;
  if (m->state == State::connected) {
    result.status = OpenResult::Status::unavailable;
    result.reason = LinkName() + QStringLiteral(u": соединение уже установлено");
    return result;
  }
  if (m->address.host.isEmpty() || m->address.port < 1 || m->address.port > 65535) {
    result.status = OpenResult::Status::unavailable;
    result.reason = QStringLiteral(u"Адрес шлюза не задан");
    return result;
  }
  m->lost = false;
  m->reason.clear();
  m->clearData();
  m->state = State::connecting;
  m->connectTimer.start(m->connectTimeoutMs);
  // Name lookup and connecting run in the background; refusals and
  // failures arrive as signals from the event loop.
  m->socket.connectToHost(m->address.host, static_cast<quint16>(m->address.port));
  return result;
}

void TcpPort::Close() {
  m->shutDown(QString());
  m->lost = false;
}

bool TcpPort::IsOpen() const { return m->state == State::connected; }

int TcpPort::BytesWaiting() {
  if (m->unread() == 0) m->pump(true);
  return static_cast<int>(m->unread());
}

int TcpPort::ReadByte() {
  if (m->unread() == 0) {
    m->pump(true);
    if (m->unread() == 0) return -1;
  }
  return m->pending[m->pendingPos++];
}

void TcpPort::Write(std::span<const std::uint8_t> frame) {
  if (m->state != State::connected) return;
  m->handedSinceWrite = 0;
  if (!m->mbap()) {
    m->socket.write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
    m->socket.flush();
    return;
  }
  // A new request: whatever is on its way belongs to earlier ones. Let it
  // through the de-framer under the old id, where it is dropped, and start
  // the new reply from a clean frame boundary.
  m->pump(true);
  if (m->state != State::connected) return;
  m->droppedBytes += m->unread();
  m->pending.clear();
  m->pendingPos = 0;
  const std::uint64_t before = m->deframer.DroppedBytes();
  m->deframer.Reset();
  m->droppedBytes += m->deframer.DroppedBytes() - before;
  const std::vector<std::uint8_t> adu = MbapFromRtu(++m->transaction, frame);
  m->hasReplyHeader = false;
  m->hasRequestHeader = !adu.empty();
  if (adu.empty()) {
    m->expected.reset();
    return;
  }
  std::copy_n(adu.begin(), kMbapHeaderSize, m->requestHeader.begin());
  m->expected = m->transaction;
  m->socket.write(reinterpret_cast<const char*>(adu.data()), static_cast<qint64>(adu.size()));
  m->socket.flush();
}

bool TcpPort::DeviceLost() const { return m->lost; }

TcpPort::State TcpPort::ConnectionState() const { return m->state; }

QString TcpPort::LossReason() const { return m->reason; }

void TcpPort::SetArrivalHandler(std::function<void()> handler) { m->arrival = std::move(handler); }

std::span<const std::uint8_t> TcpPort::RequestHeader() const {
  return m->hasRequestHeader ? std::span<const std::uint8_t>(m->requestHeader) : std::span<const std::uint8_t>();
}

std::span<const std::uint8_t> TcpPort::ReplyHeader() const {
  return m->hasReplyHeader ? std::span<const std::uint8_t>(m->replyHeader) : std::span<const std::uint8_t>();
}

std::uint64_t TcpPort::DroppedReplies() const { return m->droppedReplies; }

std::uint64_t TcpPort::DroppedBytes() const { return m->droppedBytes; }

}  // namespace zart::link
