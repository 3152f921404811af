#pragma once

#include <string>
#include <vector>

#include "fault_injector.h"

namespace zart::sim {

/// Everything the command line can set.
struct SimOptions {
  std::string linkPath;       ///< symbolic link to the device, empty: none
  std::string controlPath;    ///< FIFO for control lines, empty: stdin only
  std::string eepromPath;     ///< image loaded at start, saved on exit
  bool tcp = false;           ///< serve over TCP instead of a pty
  std::string tcpAddress;     ///< --tcp's [HOST:]PORT; the host is 127.0.0.1 unless given
  bool mbap = false;          ///< over TCP, speak Modbus TCP instead of RTU frames
  int address = 7;            ///< slave address
  bool addressGiven = false;  ///< --address was on the command line
  int objectType = 0;         ///< 0 ДГУ, 1 ДРА
  bool typeGiven = false;     ///< --type was on the command line
  double speedup = 1.0;       ///< simulated seconds per real second
  bool wireTiming = false;    ///< delay replies by their time on the wire
  char parity = 'E';          ///< 'N' gives 10 bits a character, else 11
  int turnaroundMs = 2;       ///< controller's reaction time with --wire-timing
  bool verbose = false;       ///< frames in hex on stderr
  unsigned seed = 1;          ///< noise and garbage generator seed
  bool help = false;
  FaultSettings faults;
};

/// Parses argv[1..]. Returns false with `error` set for an unknown option
/// or a bad value.
bool ParseOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

/// The --help text.
std::string UsageText();

/// Parses a whole decimal or 0x-hexadecimal integer in [lo, hi].
bool ParseInt(const std::string& text, long lo, long hi, long& value);

}  // namespace zart::sim
