#include "tcp_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim_options.h"

namespace zart::sim {

namespace {

std::string peerName(const sockaddr_storage& a) {
  char host[NI_MAXHOST] = "?";
  char port[NI_MAXSERV] = "?";
  ::getnameinfo(reinterpret_cast<const sockaddr*>(&a), sizeof a, host, sizeof host, port, sizeof port,
                NI_NUMERICHOST | NI_NUMERICSERV);
  const bool v6 = a.ss_family == AF_INET6;
  return (v6 ? "[" : "") + std::string(host) + (v6 ? "]:" : ":") + port;
}

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

TcpLink::~TcpLink() { Close(); }

bool TcpLink::Listen(const std::string& address, std::string& error) {
  // "[v6]:port", "host:port" or "port" alone.
  std::string host = "127.0.0.1";
  std::string port = address;
  if (!address.empty() && address.front() == '[') {
    const std::size_t close = address.find("]:");
    if (close == std::string::npos) {
      error = "--tcp: expected [ADDRESS]:PORT, got '" + address + "'";
      return false;
    }
    host = address.substr(1, close - 1);
    port = address.substr(close + 2);
  } else if (const std::size_t colon = address.rfind(':'); colon != std::string::npos) {
    host = address.substr(0, colon);
    port = address.substr(colon + 1);
  }
  long n = 0;
  if (host.empty() || !ParseInt(port, 0, 65535, n) || port.find_first_not_of("0123456789") != std::string::npos) {
    error = "--tcp: expected [HOST:]PORT with PORT 0..65535, got '" + address + "'";
    return false;
  }
  m_host = host;
  m_port = port;
  return Relisten(error);
}

bool TcpLink::Relisten(std::string& error) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int rc = ::getaddrinfo(m_host.c_str(), m_port.c_str(), &hints, &found); rc != 0) {
    error = "--tcp: " + m_host + ": " + ::gai_strerror(rc);
    return false;
  }
  error = "--tcp: " + m_host + ": no address to listen on";
  for (addrinfo* ai = found; ai && m_listen < 0; ai = ai->ai_next) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
    if (fd < 0) continue;
    // Listening again after "unplug" must not wait for old connections to
    // time out.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || ::listen(fd, 4) != 0) {
      error = "--tcp: " + m_host + ":" + m_port + ": " + std::strerror(errno);
      ::close(fd);
      continue;
    }
    setNonBlocking(fd);
    m_listen = fd;
  }
  ::freeaddrinfo(found);
  if (m_listen < 0) return false;
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&bound), &len);
  m_hostPort = peerName(bound);
  // Keep the port a "PORT 0" listen was given, so the tool finds the
  // gateway where it was after a replug.
  m_port = m_hostPort.substr(m_hostPort.rfind(':') + 1);
  error.clear();
  return true;
}

void TcpLink::Close() {
  DropClient();
  if (m_listen >= 0) ::close(m_listen);
  m_listen = -1;
}

std::vector<std::string> TcpLink::Accept() {
  std::vector<std::string> log;
  for (;;) {
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    const int fd = ::accept(m_listen, reinterpret_cast<sockaddr*>(&peer), &len);
    if (fd < 0) break;
    if (m_client >= 0) {
      ::close(fd);
      log.push_back("refused a second client from " + peerName(peer) + ": one client at a time");
      continue;
    }
    setNonBlocking(fd);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_client = fd;
    log.push_back("client " + peerName(peer) + " connected");
  }
  return log;
}

void TcpLink::DropClient() {
  if (m_client >= 0) ::close(m_client);
  m_client = -1;
}

}  // namespace zart::sim
