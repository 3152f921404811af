#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include <QString>

namespace zart::link {

/// How an attempt to open the port ended.
struct OpenResult {
  enum class Status {
    ok,
    /// The device exists but another program holds or has locked it.
    busy,
    /// Missing device, permission refused, a rejected port number or any
    /// other failure.
    unavailable,
  };
  Status status = Status::ok;
  /// The reason in Russian with the operating system's own text after it,
  /// for example "/dev/ttyUSB0: доступ запрещён (Permission denied)"; empty
  /// on success.
  QString reason;
  /// The refusal was a missing permission (on Linux usually the dialout group).
  bool permissionDenied = false;

  bool ok() const { return status == Status::ok; }
};

/// The byte link the exchange talks through: the serial port, or a TCP
/// connection to an Ethernet gateway. Raw bytes in both directions; the
/// exchange frames and judges them.
class Port {
 public:
  virtual ~Port() = default;

  /// Opens the link (the port number or the address in force). Fails when
  /// already open.
  virtual OpenResult Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  /// Received bytes not yet read; 0 when none or while closed. Once the
  /// bytes already fetched from the system have been read, the next call
  /// asks the system again, so reading while this is positive takes
  /// everything that has arrived, at one system call per batch.
  virtual int BytesWaiting() = 0;
  /// The oldest unread byte, 0..255, or -1 when none is waiting.
  virtual int ReadByte() = 0;
  /// Queues the whole frame for transmission and returns at once.
  virtual void Write(std::span<const std::uint8_t> frame) = 0;

  /// True after the open device vanished (a USB adapter pulled out, a
  /// connection dropped) and the link was closed for it; cleared by a
  /// successful Open or by Close.
  virtual bool DeviceLost() const { return false; }

  /// The link as the user names it in messages: "COM5", "192.168.10.20:4001".
  virtual QString LinkName() const = 0;
  /// Why the link is not open, in Russian with the system's own words after
  /// it: the last failed opening or the loss of the device; empty when no
  /// reason is known.
  virtual QString FailureReason() const { return QString(); }
  /// What the status line says while the link is not open: "Порт COM5 не
  /// открыт: …".
  virtual QString NotOpenMessage() const {
    const QString reason = FailureReason();
    return QStringLiteral(u"Порт ") + LinkName() + QStringLiteral(u" не открыт") +
           (reason.isEmpty() ? QString() : QStringLiteral(u": ") + reason);
  }

  /// Whether the link calls an arrival handler; without one the exchange
  /// looks at the link itself as often as it needs to.
  virtual bool SignalsArrival() const { return false; }
  /// Called from the event loop when bytes for the exchange have arrived,
  /// never from inside this object's own reads, so a fast exchange can
  /// react to a reply at once. An empty handler stops the calls.
  virtual void SetArrivalHandler(std::function<void()> handler) { (void)handler; }

  /// How long a reply may take on this link, in ms: 0 on the serial line,
  /// where the exchange's 100 ms tick judges every reply; on a network link
  /// the reply time-out, within which a reply is judged as soon as it is
  /// complete.
  virtual int ReplyTimeoutMs() const { return 0; }

  /// The Modbus TCP header (7 bytes: transaction id, protocol id, length,
  /// unit id) of the last frame written, and of the reply handed on since;
  /// empty on links that carry the RTU frames themselves.
  virtual std::span<const std::uint8_t> RequestHeader() const { return {}; }
  virtual std::span<const std::uint8_t> ReplyHeader() const { return {}; }
};

}  // namespace zart::link
