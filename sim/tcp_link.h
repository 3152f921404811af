#pragma once

#include <string>
#include <vector>

namespace zart::sim {

/// The simulator's TCP side, as an Ethernet gateway in front of the
/// controller: one listening socket and at most one client, as a serial
/// line has one master. A second client is accepted and closed at once, so
/// it learns right away that the gateway is taken instead of waiting.
/// Descriptors are non-blocking; the caller polls them.
class TcpLink {
 public:
  TcpLink() = default;
  ~TcpLink();
  TcpLink(const TcpLink&) = delete;
  TcpLink& operator=(const TcpLink&) = delete;

  /// Listens on "[HOST:]PORT" ("5020", "127.0.0.1:5020", "[::1]:5020",
  /// "0.0.0.0:5020"); the host is 127.0.0.1 unless given, port 0 takes a
  /// free one. Listening again after Close keeps the port that was taken.
  /// Returns false with `error` set.
  bool Listen(const std::string& address, std::string& error);
  /// Listens again where the last Listen did.
  bool Relisten(std::string& error);
  /// Drops the client and stops listening: the gateway is gone.
  void Close();

  int ListenFd() const { return m_listen; }
  /// The client's descriptor, -1 while none is connected.
  int ClientFd() const { return m_client; }
  /// "127.0.0.1:5020" ("[::1]:5020"), with the port actually taken.
  std::string HostPort() const { return m_hostPort; }

  /// Takes the connections waiting on the listening socket: the first
  /// becomes the client when there is none, the others are closed. Returns
  /// a line for the log about each.
  std::vector<std::string> Accept();
  /// Closes the client's connection; the next one may come.
  void DropClient();

 private:
  int m_listen = -1;
  int m_client = -1;
  std::string m_host;
  std::string m_port;
  std::string m_hostPort;
};

}  // namespace zart::sim
