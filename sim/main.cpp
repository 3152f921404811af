// zart-sim: a simulated ЗАРТ controller on a pseudo-terminal, or over TCP as
// behind an Ethernet gateway, for trying the service tool without hardware
// and for its end-to-end tests.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "control_interpreter.h"
#include "controller.h"
#include "eeprom_image.h"
#include "fault_injector.h"
#include "link/crc.h"
#include "link/mbap_deframer.h"
#include "link/mbap_frame.h"
#include "pty_device.h"
#include "request_framer.h"
#include "sim_options.h"
#include "tcp_link.h"

namespace {

using zart::sim::ControlAction;
using zart::sim::SimOptions;

volatile sig_atomic_t g_stop = 0;  // set by SIGINT/SIGTERM; a signal handler needs a global

extern "C" void onSignal(int) { g_stop = 1; }

std::int64_t nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  char buf[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    s += buf;
  }
  if (!s.empty()) s.pop_back();
  return s;
}

void say(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

/// A source of control lines: standard input or the FIFO.
struct LineSource {
  int fd = -1;
  std::string pending;

  /// Reads what is there; returns complete lines. On end of file the source
  /// closes itself (fd -1); a FIFO is opened read-write so it never ends.
  std::vector<std::string> Read() {
    std::vector<std::string> lines;
    char buf[1024];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
      if (!pending.empty()) lines.push_back(pending);
      pending.clear();
      if (fd != STDIN_FILENO) ::close(fd);
      fd = -1;
      return lines;
    }
    if (n < 0) return lines;
    pending.append(buf, static_cast<std::size_t>(n));
    std::size_t eol;
    while ((eol = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, eol);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      pending.erase(0, eol + 1);
    }
    return lines;
  }
};

struct ScheduledWrite {
  std::int64_t dueUs;
  std::vector<std::uint8_t> bytes;
  bool endsReply = true;  // the last piece of a reply
};

class Simulator {
 public:
  explicit Simulator(const SimOptions& o)
      : m_opt(o),
        m_controller(zart::sim::EepromImage{}, o.address, o.seed),
        m_faults(o.seed + 1),
        m_pty(o.linkPath),
        m_discarded(0),
        m_control(m_controller, m_faults, m_traffic, m_discarded) {
    m_faults.Settings() = o.faults;
  }

  int Run();

 private:
  bool prepareEeprom();
  void onPtyReadable(std::int64_t now);
  void onClientReadable(std::int64_t now);
  void onListenReadable();
  void dropClient(const char* why);
  /// `transaction`: the request came over Modbus TCP with this id.
  void handleFrame(const std::vector<std::uint8_t>& frame, std::int64_t now,
                   std::optional<std::uint16_t> transaction = std::nullopt);
  std::vector<zart::sim::OutChunk> mbapChunks(std::vector<std::uint8_t> reply, std::uint16_t transaction);
  /// Where replies go: the pty's master side or the TCP client; -1 for none.
  int outFd() const { return m_opt.tcp ? m_tcp.ClientFd() : m_pty.MasterFd(); }
  /// The address the tool is given for the TCP server.
  std::string url() const { return (m_opt.mbap ? "tcp://" : "rtuovertcp://") + m_tcp.HostPort(); }
  void flushWrites(std::int64_t now);
  bool runControl(const std::string& line);  // false: quit
  void advanceClock(std::int64_t now);
  void dropLineContents();
  bool saveEeprom(std::string& error);

  SimOptions m_opt;
  zart::sim::Controller m_controller;
  zart::sim::FaultInjector m_faults;
  zart::sim::RequestFramer m_framer;
  zart::sim::PtyDevice m_pty;
  zart::sim::TcpLink m_tcp;
  zart::link::MbapDeframer m_mbap;
  zart::sim::TrafficCounts m_traffic;
  std::uint64_t m_discarded;
  zart::sim::ControlInterpreter m_control;
  std::deque<ScheduledWrite> m_out;
  std::int64_t m_lastAdvanceUs = 0;
  double m_simCarryUs = 0;
  bool m_createdFifo = false;
};

bool Simulator::prepareEeprom() {
  zart::sim::EepromImage image = zart::sim::EepromImage::Defaults(m_opt.objectType);
  bool loaded = false;
  if (!m_opt.eepromPath.empty()) {
    struct stat st{};
    if (::stat(m_opt.eepromPath.c_str(), &st) == 0) {
      std::string error;
      if (!image.Load(m_opt.eepromPath, error)) {
        // Refuse rather than overwrite the user's file with defaults on exit.
        std::fprintf(stderr, "zart-sim: %s\n", error.c_str());
        return false;
      }
      loaded = true;
    }
  }
  if (loaded && m_opt.typeGiven) image.Set(zart::sim::EepromImage::kObjectTypeByte, static_cast<std::uint8_t>(m_opt.objectType));
  // The address byte of a loaded image is the controller's own address
  // unless the command line names another.
  const int address = (loaded && !m_opt.addressGiven) ? image.At(zart::sim::EepromImage::kSlaveAddressByte) : m_opt.address;
  m_controller = zart::sim::Controller(image, address, m_opt.seed);
  return true;
}

bool Simulator::saveEeprom(std::string& error) {
  if (m_opt.eepromPath.empty()) {
    error = "no --eeprom file given";
    return false;
  }
  return m_controller.Eeprom().Save(m_opt.eepromPath, error);
}

void Simulator::advanceClock(std::int64_t now) {
  m_simCarryUs += static_cast<double>(now - m_lastAdvanceUs) * m_opt.speedup;
  m_lastAdvanceUs = now;
  const auto ms = static_cast<std::int64_t>(m_simCarryUs / 1000.0);
  if (ms > 0) {
    m_simCarryUs -= static_cast<double>(ms) * 1000.0;
    m_controller.Advance(std::chrono::milliseconds(ms));
  }
}

void Simulator::handleFrame(const std::vector<std::uint8_t>& frame, std::int64_t now,
                            std::optional<std::uint16_t> transaction) {
  ++m_traffic.frames;
  if (m_opt.verbose) std::fprintf(stderr, "rx %s\n", hex(frame).c_str());
  if (frame[0] != m_controller.Address()) {
    ++m_traffic.otherAddress;
    return;
  }
  const auto& refusal = m_faults.Settings().refuseEeprom;
  m_controller.SetEepromRefusal(refusal ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(*refusal)) : std::nullopt);
  auto reply = m_controller.HandleRequest(frame);
  if (reply && m_faults.CorruptStoredByte(frame, m_controller.Eeprom()) && m_opt.verbose) {
    std::fprintf(stderr, "stored byte %d wrong\n", *m_faults.Settings().corruptByte);
  }
  if (frame[1] == 16 && m_opt.verbose) {
    std::fprintf(stderr, "heartbeat transaction=%d protection_off=%d\n", m_controller.LastTransaction(),
                 m_controller.LastProtectionFlag());
  }
  if (!reply) return;
  ++m_traffic.replies;
  if ((*reply)[1] & 0x80) ++m_traffic.exceptions;
  std::int64_t due = now;
  if (m_opt.wireTiming) {
    const int bits = m_opt.parity == 'N' ? 10 : 11;
    const auto chars = static_cast<std::int64_t>(frame.size() + reply->size());
    due += chars * bits * 1000000 / 115200 + static_cast<std::int64_t>(m_opt.turnaroundMs) * 1000;
  }
  auto chunks = transaction ? mbapChunks(std::move(*reply), *transaction) : m_faults.Apply(std::move(*reply));
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    due += chunks[i].delayUs;
    if (!m_out.empty() && due < m_out.back().dueUs) due = m_out.back().dueUs;
    m_out.push_back({due, std::move(chunks[i].bytes), i + 1 == chunks.size()});
  }
}

std::vector<zart::sim::OutChunk> Simulator::mbapChunks(std::vector<std::uint8_t> reply, std::uint16_t transaction) {
  auto altered = m_faults.Alter(std::move(reply));
  if (!altered || altered->size() < 4) return {};
  // A converting gateway checks the controller's CRC and passes nothing on
  // for a garbled frame: the master sees no answer.
  const auto& r = *altered;
  const int last = static_cast<int>(r.size()) - 3;
  if (zart::link::Crc16Modbus(r, last) != zart::link::CrcFromWire(r[r.size() - 2], r.back())) return {};
  std::vector<std::uint8_t> adu = zart::link::MbapFromRtu(transaction, r);
  if (adu.empty()) return {};
  m_faults.SpoilMbapHeader(adu);
  return m_faults.Chunk(std::move(adu));
}

void Simulator::onListenReadable() {
  for (const std::string& line : m_tcp.Accept()) std::fprintf(stderr, "zart-sim: %s\n", line.c_str());
}

void Simulator::dropClient(const char* why) {
  if (m_tcp.ClientFd() < 0) return;
  std::fprintf(stderr, "zart-sim: client %s\n", why);
  m_tcp.DropClient();
  // A new connection is a new session: nothing of the old one carries over.
  m_out.clear();
  m_framer.Clear();
  m_mbap.Reset();
}

void Simulator::onClientReadable(std::int64_t now) {
  std::uint8_t buf[4096];
  const ssize_t n = ::read(m_tcp.ClientFd(), buf, sizeof buf);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
    dropClient("left");
    return;
  }
  if (n < 0) return;
  std::span<const std::uint8_t> bytes(buf, static_cast<std::size_t>(n));
  if (!m_opt.mbap) {
    for (const auto& frame : m_framer.Feed(bytes, now)) handleFrame(frame, now);
    return;
  }
  while (!bytes.empty()) {
    bytes = bytes.subspan(m_mbap.Feed(bytes));
    const auto request = m_mbap.Frame();
    if (!request) continue;
    // The gateway's side of the serial line: the RTU frame it would send.
    std::vector<std::uint8_t> rtu;
    zart::link::AppendRtuFromMbap(*request, rtu);
    handleFrame(rtu, now, request->transaction);
  }
}

void Simulator::onPtyReadable(std::int64_t now) {
  std::uint8_t buf[4096];
  const ssize_t n = ::read(m_pty.MasterFd(), buf, sizeof buf);
  if (n <= 0) return;  // EAGAIN, or EIO while no one holds the slave side
  for (const auto& frame : m_framer.Feed(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)), now)) {
    handleFrame(frame, now);
  }
}

void Simulator::flushWrites(std::int64_t now) {
  while (!m_out.empty() && m_out.front().dueUs <= now) {
    auto& w = m_out.front();
    if (outFd() < 0) {
      m_out.clear();
      return;
    }
    const ssize_t n = ::write(outFd(), w.bytes.data(), w.bytes.size());
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) return;  // try again when writable
      if (m_opt.tcp) {
        dropClient("gone");
        return;
      }
      m_out.pop_front();  // line gone: drop the reply
      continue;
    }
    if (m_opt.verbose) {
      std::fprintf(stderr, "tx %s\n",
                   hex(std::vector<std::uint8_t>(w.bytes.begin(), w.bytes.begin() + n)).c_str());
    }
    if (static_cast<std::size_t>(n) < w.bytes.size()) {
      w.bytes.erase(w.bytes.begin(), w.bytes.begin() + n);
      return;
    }
    if (w.endsReply) ++m_traffic.written;
    m_out.pop_front();
  }
}

void Simulator::dropLineContents() {
  // The port was opened or closed: what the previous user left unread, and
  // replies still on their way to it, are lost as on a real line.
  m_pty.FlushInput();
  m_out.clear();
  m_framer.Clear();
}

bool Simulator::runControl(const std::string& line) {
  m_discarded = m_framer.DiscardedBytes() + m_mbap.DroppedBytes();
  zart::sim::ControlResult r = m_control.Execute(line);
  if (r.text.empty()) return true;
  std::string error;
  switch (r.action) {
    case ControlAction::none:
      break;
    case ControlAction::save:
      if (!saveEeprom(error)) r.text = "error save: " + error;
      break;
    case ControlAction::unplug:
      // Over TCP: the gateway goes away, its client with it.
      dropClient("dropped by unplug");
      m_tcp.Close();
      m_pty.Close();
      m_out.clear();
      m_framer.Clear();
      break;
    case ControlAction::replug:
      if (m_opt.tcp ? m_tcp.Relisten(error) : m_pty.Open(error)) {
        r.text += " " + (m_opt.tcp ? url() : m_pty.Path());
      } else {
        r.text = "error replug: " + error;
      }
      break;
    case ControlAction::quit:
      say(r.text);
      return false;
  }
  say(r.text);
  return true;
}

int Simulator::Run() {
  if (!prepareEeprom()) return 2;
  std::string error;
  LineSource stdinSource;
  // Standard input stays blocking (it may be the user's terminal); it is
  // read once per readable poll, which does not block.
  stdinSource.fd = STDIN_FILENO;
  LineSource fifoSource;
  if (!m_opt.controlPath.empty()) {
    struct stat st{};
    if (::stat(m_opt.controlPath.c_str(), &st) != 0) {
      if (::mkfifo(m_opt.controlPath.c_str(), 0600) != 0) {
        std::fprintf(stderr, "zart-sim: mkfifo %s: %s\n", m_opt.controlPath.c_str(), std::strerror(errno));
        return 1;
      }
      m_createdFifo = true;
    } else if (!S_ISFIFO(st.st_mode)) {
      std::fprintf(stderr, "zart-sim: %s exists and is not a FIFO\n", m_opt.controlPath.c_str());
      return 1;
    }
    // Read-write, so the FIFO never reports end of file when a writer leaves.
    fifoSource.fd = ::open(m_opt.controlPath.c_str(), O_RDWR | O_NONBLOCK);
    if (fifoSource.fd < 0) {
      std::fprintf(stderr, "zart-sim: %s: %s\n", m_opt.controlPath.c_str(), std::strerror(errno));
      if (m_createdFifo) ::unlink(m_opt.controlPath.c_str());
      return 1;
    }
  }

  // The device path (or the address) goes out last: once it is printed,
  // the FIFO is there too.
  if (!(m_opt.tcp ? m_tcp.Listen(m_opt.tcpAddress, error) : m_pty.Open(error))) {
    std::fprintf(stderr, "zart-sim: %s\n", error.c_str());
    if (fifoSource.fd >= 0) ::close(fifoSource.fd);
    if (m_createdFifo) ::unlink(m_opt.controlPath.c_str());
    return m_opt.tcp ? 2 : 1;
  }
  say(m_opt.tcp ? url() : m_pty.Path());

  m_lastAdvanceUs = nowUs();
  bool running = true;
  while (running && !g_stop) {
    std::int64_t now = nowUs();
    std::int64_t timeoutUs = 50000;
    if (auto d = m_framer.NextDeadlineUs()) timeoutUs = std::min(timeoutUs, *d - now);
    if (!m_out.empty()) timeoutUs = std::min(timeoutUs, m_out.front().dueUs - now);
    const int timeoutMs = static_cast<int>(std::max<std::int64_t>(0, (timeoutUs + 999) / 1000));

    pollfd fds[6];
    nfds_t count = 0;
    int ptyIndex = -1, watchIndex = -1, stdinIndex = -1, fifoIndex = -1, listenIndex = -1, clientIndex = -1;
    if (m_tcp.ListenFd() >= 0) {
      listenIndex = static_cast<int>(count);
      fds[count++] = {m_tcp.ListenFd(), POLLIN, 0};
    }
    if (m_tcp.ClientFd() >= 0) {
      clientIndex = static_cast<int>(count);
      fds[count++] = {m_tcp.ClientFd(), static_cast<short>(POLLIN | (m_out.empty() ? 0 : POLLOUT)), 0};
    }
    if (m_pty.WatchFd() >= 0) {
      watchIndex = static_cast<int>(count);
      fds[count++] = {m_pty.WatchFd(), POLLIN, 0};
    }
    if (m_pty.IsOpen()) {
      ptyIndex = static_cast<int>(count);
      fds[count++] = {m_pty.MasterFd(), static_cast<short>(POLLIN | (m_out.empty() ? 0 : POLLOUT)), 0};
    }
    if (stdinSource.fd >= 0) {
      stdinIndex = static_cast<int>(count);
      fds[count++] = {stdinSource.fd, POLLIN, 0};
    }
    if (fifoSource.fd >= 0) {
      fifoIndex = static_cast<int>(count);
      fds[count++] = {fifoSource.fd, POLLIN, 0};
    }
    const int ready = ::poll(fds, count, timeoutMs);
    if (ready < 0 && errno != EINTR) break;
    now = nowUs();
    advanceClock(now);

    // Opens and closes of the device first: bytes of an earlier session
    // must go before the new session's request is read and answered.
    if (ready > 0 && watchIndex >= 0 && (fds[watchIndex].revents & POLLIN) && m_pty.TakeOpenCloseEvents()) {
      dropLineContents();
    }
    if (ready > 0 && ptyIndex >= 0) {
      const short ev = fds[ptyIndex].revents;
      if (ev & POLLIN) {
        onPtyReadable(now);
      } else if (ev & (POLLHUP | POLLERR)) {
        // Nobody holds the slave side: wait a little instead of spinning.
        ::usleep(20000);
      }
    }
    if (ready > 0 && clientIndex >= 0 && (fds[clientIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
      onClientReadable(now);
    }
    if (ready > 0 && listenIndex >= 0 && (fds[listenIndex].revents & POLLIN)) onListenReadable();
    if (auto frame = m_framer.Idle(now)) handleFrame(*frame, now);
    flushWrites(now);

    for (LineSource* src : {&stdinSource, &fifoSource}) {
      const int idx = src == &stdinSource ? stdinIndex : fifoIndex;
      if (idx < 0 || !(fds[idx].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      for (const std::string& line : src->Read()) {
        if (running && !runControl(line)) running = false;  // nothing runs after quit
      }
    }
  }

  if (!m_opt.eepromPath.empty()) {
    if (!saveEeprom(error)) std::fprintf(stderr, "zart-sim: save: %s\n", error.c_str());
  }
  m_pty.Close();
  m_tcp.Close();
  if (fifoSource.fd >= 0) ::close(fifoSource.fd);
  if (m_createdFifo) ::unlink(m_opt.controlPath.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  if (!zart::sim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "zart-sim: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(zart::sim::UsageText().c_str(), stdout);
    return 0;
  }
  struct sigaction sa{};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  Simulator sim(options);
  return sim.Run();
}
