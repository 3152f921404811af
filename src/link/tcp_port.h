#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "link/link_address.h"
#include "link/network_port.h"

namespace zart::link {

/// The link to the controller through an Ethernet gateway, over TCP.
///
/// With a transparent gateway ("rtuovertcp://") the bytes pass unchanged
/// both ways. With a converting one ("tcp://", Modbus TCP) each frame the
/// exchange writes (address, PDU, CRC) leaves as a Modbus TCP frame with the
/// next transaction id and the address as unit id; a reply counts only when
/// it carries the id of the last request, and reaches the exchange as the
/// RTU frame the controller would have put on the line (unit id, PDU, a CRC
/// made here), so it is judged as on the serial line. Replies with another
/// id (a late answer to an earlier repeat) and bytes that are no frame are
/// dropped.
///
/// Nothing here waits. Open() starts connecting and returns at once; the
/// link counts as open from the moment the connection stands. A connection
/// that cannot be made within the time-out, is refused, or drops later
/// closes the link and sets DeviceLost(), with the reason in LossReason();
/// reopening is the caller's (LinkReconnector) business. Reads take what
/// the system holds right now with a zero-time poll, like the serial port.
class TcpPort final : public NetworkPort {
 public:
  enum class State { closed, connecting, connected };
  static constexpr int kConnectTimeoutMs = 3000;

  explicit TcpPort(LinkAddress address = {});
  ~TcpPort() override;
  TcpPort(const TcpPort&) = delete;
  TcpPort& operator=(const TcpPort&) = delete;

  bool SetAddress(const LinkAddress& address) override;
  const LinkAddress& Address() const override;
  /// How long a connection attempt may take, 3 s unless set.
  void SetConnectTimeoutMs(int ms);

  /// Starts connecting and returns ok; ok also while an attempt is under
  /// way. Fails at once when connected already or no address is set.
  OpenResult Open() override;
  /// Drops the connection or the attempt; no loss is recorded.
  void Close() override;
  /// True while the connection stands (not while it is being made).
  bool IsOpen() const override;
  int BytesWaiting() override;
  int ReadByte() override;
  /// Sends the frame when connected; dropped otherwise, as bytes sent into
  /// a line with no one on it.
  void Write(std::span<const std::uint8_t> frame) override;
  bool DeviceLost() const override;

  State ConnectionState() const;
  bool Connecting() const override { return ConnectionState() == State::connecting; }
  /// Why the link went down, in Russian, for "Нет соединения с …: <reason>":
  /// "соединение отвергнуто (Connection refused)", "шлюз не ответил за 3 с".
  /// Empty until a connection failed or dropped; kept until the next Open.
  QString LossReason() const override;

  /// In Modbus TCP the handler is called once a whole reply has arrived.
  bool SignalsArrival() const override { return true; }
  void SetArrivalHandler(std::function<void()> handler) override;

  /// Modbus TCP only: the header sent with the last request, and that of
  /// the reply to it once it has come.
  std::span<const std::uint8_t> RequestHeader() const override;
  std::span<const std::uint8_t> ReplyHeader() const override;

  /// Modbus TCP replies dropped for a transaction id other than the last
  /// request's, since the object was made.
  std::uint64_t DroppedReplies() const;
  /// Bytes dropped since the object was made: garbage and cut frames in
  /// Modbus TCP, bytes beyond the per-request bound in both modes.
  std::uint64_t DroppedBytes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
};

}  // namespace zart::link
