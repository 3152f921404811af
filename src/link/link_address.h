#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace zart::link {

/// How the bytes travel to an Ethernet gateway in front of the controller.
enum class NetMode {
  /// A transparent gateway: the RTU frame with its address and CRC rides
  /// inside TCP unchanged ("rtuovertcp://").
  rtu_over_tcp,
  /// A converting gateway: Modbus TCP, an MBAP header in place of the
  /// address and the CRC ("tcp://").
  modbus_tcp,
};

/// The address of a network link as the user writes it in the settings
/// file: "rtuovertcp://192.168.10.20:4001" or "tcp://gateway.local:502".
struct LinkAddress {
  /// The port of Modbus TCP, taken when a "tcp://" address names none.
  static constexpr int kModbusTcpPort = 502;

  NetMode mode = NetMode::rtu_over_tcp;
  /// A host name, or an IPv4 or IPv6 address (IPv6 without its brackets).
  QString host;
  /// TCP port, 1..65535.
  int port = 0;

  /// Reads an address. The scheme is case-insensitive and blanks around
  /// the text are ignored; an IPv6 address stands in brackets
  /// ("tcp://[fe80::1]:502"). "tcp://" without a port means 502; a
  /// transparent gateway has no usual port, so "rtuovertcp://" needs one.
  /// On failure returns nothing and puts a Russian message in `error`.
  static std::optional<LinkAddress> Parse(const QString& text, QString* error = nullptr);

  /// "192.168.10.20:4001", "[fe80::1]:502": the link as messages name it.
  QString Name() const;
  /// The text Parse reads back: "rtuovertcp://192.168.10.20:4001".
  QString ToUrl() const;

  bool operator==(const LinkAddress&) const = default;
};

}  // namespace zart::link
