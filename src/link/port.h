#pragma once

#include <cstdint>
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

  /// Received bytes not yet read, counting everything the operating system
  /// has received so far; 0 when none or while closed.
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
};

}  // namespace zart::link
