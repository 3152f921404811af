#pragma once

namespace zart::monitor {

/// The pieces of the program that start-up drives but does not own: the
/// settings file, the main window and the port dialog.
class StartUpHost {
 public:
  virtual ~StartUpHost() = default;
  /// Reads the settings file (creating it when missing).
  virtual void ReadConfig() = 0;
  /// The port number in force (from the settings file or the port dialog).
  virtual int ComPort() const = 0;
  /// When the settings name a network link: starts connecting it and
  /// returns true, and the serial port is left alone. A connection that
  /// cannot be made shows in the status line and is tried again by itself.
  virtual bool OpenNetworkLink() { return false; }
  /// Fills the slave-address list with 0..127 and selects `selected`.
  virtual void FillSlaveAddresses(int selected) = 0;
  /// Creates the 255 visible signal cells, all lit.
  virtual void CreateSignalCells() = 0;
  /// Shows the port dialog modally, owned by the main window; returns when
  /// the user has closed it.
  virtual void ShowPortDialogModal() = 0;
  /// Shows the main window.
  virtual void ShowWindow() = 0;
  /// Starts the 100 ms exchange timer.
  virtual void StartTimer() = 0;
};

}  // namespace zart::monitor
