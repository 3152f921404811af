#pragma once

#include <cstdint>
#include <string>

#include "controller.h"
#include "fault_injector.h"

namespace zart::sim {

/// What the main loop must do after a control line, beyond printing the
/// answer.
enum class ControlAction { none, save, unplug, replug, quit };

/// Answer to one control line: `text` is the whole line to print ("ok ..."
/// or "error ..."); the main loop may complete it for the actions it runs.
struct ControlResult {
  std::string text;
  ControlAction action = ControlAction::none;
};

/// Counters of the line traffic, shown by `stats`.
struct TrafficCounts {
  std::uint64_t frames = 0;          ///< complete frames with a good CRC, any address
  std::uint64_t otherAddress = 0;    ///< of those, for another slave
  std::uint64_t replies = 0;         ///< replies built by the controller
  std::uint64_t exceptions = 0;      ///< of those, exception replies
  std::uint64_t written = 0;         ///< replies actually put on the line
};

/// Reads the control lines (`block on`, `fault split 150`, `dump 256 16`, ...)
/// and applies them to the controller and the fault settings.
class ControlInterpreter {
 public:
  ControlInterpreter(Controller& controller, FaultInjector& faults, const TrafficCounts& traffic,
                     const std::uint64_t& discardedBytes)
      : m_controller(controller), m_faults(faults), m_traffic(traffic), m_discarded(discardedBytes) {}

  /// Runs one line (surrounding blanks ignored). An empty line gives an
  /// empty text and no action.
  ControlResult Execute(const std::string& line);

 private:
  ControlResult fault(const std::string& what, const std::string& arg);

  Controller& m_controller;
  FaultInjector& m_faults;
  const TrafficCounts& m_traffic;
  const std::uint64_t& m_discarded;
};

}  // namespace zart::sim
