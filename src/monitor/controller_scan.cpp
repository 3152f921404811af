#include "monitor/controller_scan.h"

#include <algorithm>

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "monitor/status_registers.h"

namespace zart::monitor {

namespace {

// A tag carries the scan's number and the address, so that the reply to a
// request of a stopped scan is known for what it is.
constexpr int kAddressesPerTag = 256;
int TagOf(int generation, int address) { return generation * kAddressesPerTag + address; }
int GenerationOf(int tag) { return tag / kAddressesPerTag; }
int AddressOf(int tag) { return tag % kAddressesPerTag; }

}  // namespace

QString ScanHit::VersionText(int version) {
  return QStringLiteral("%1.%2").arg((version >> 8) & 0xFF).arg(version & 0xFF);
}

QString ScanHit::ObjectTypeText() const {
  if (exceptionCode != 0) return QString();
  const QString name = status_registers::ObjectTypeName(objectType);
  return name.isEmpty() ? QStringLiteral(u"тип %1").arg(objectType) : name;
}

QString ScanHit::Summary() const {
  QString text = QStringLiteral(u"адрес %1: ").arg(address);
  if (exceptionCode != 0)
    return text + QStringLiteral(u"отвечает, но отказал в чтении состояния (код %1 — ").arg(exceptionCode) +
           link::ExceptionMeaning(exceptionCode) + QStringLiteral(u")");
  text += ObjectTypeText() + QStringLiteral(u", протокол ") + VersionText(protocolVersion) + QStringLiteral(u", ПО ") +
          VersionText(softwareVersion);
  if (blocked) text += QStringLiteral(u", управление по Modbus заблокировано");
  return text;
}

ControllerScan::ControllerScan(link::ExchangeCycle& cycle) : m_cycle(cycle) {}

ControllerScan::~ControllerScan() { m_cycle.CancelRequests(this); }

bool ControllerScan::Start(int from, int to, int replyTimeMs) {
  if (m_running) Stop();
  from = link::ClampSlaveAddress(from);
  to = link::ClampSlaveAddress(to);
  if (from > to) std::swap(from, to);
  if (m_cycle.Queue().FreeSlots() < 1) return false;
  ++m_generation;
  m_from = from;
  m_to = to;
  m_next = from;
  m_tried = 0;
  m_replyTimeMs = replyTimeMs > 0 ? replyTimeMs : kReplyTimeMs;
  m_found.clear();
  m_running = true;
  if (!QueueNext()) {
    m_running = false;
    return false;
  }
  if (m_progress) m_progress(m_tried, Total());
  return true;
}

bool ControllerScan::QueueNext() {
  link::RequestOptions options;
  options.client = this;
  options.tag = TagOf(m_generation, m_next);
  options.address = m_next;
  // A silent address is given up after one try: the scan looks for who is
  // there, it does not wait for anyone.
  options.attempts = 1;
  options.replyTimeMs = m_replyTimeMs;
  using status_registers::kFirst;
  return m_cycle.EnqueueRequest(link::FC_READ_INPUT_REGISTERS,
                                {link::ByteOfValue(kFirst, 1), link::ByteOfValue(kFirst, 0), 0, kRegisters}, options);
}

void ControllerScan::Stop() {
  if (!m_running) return;
  // A request out on the line keeps its place until its reply time is up:
  // withdrawn, its reply (a short status block) would reach the main
  // window's decoder as if it were the full one.
  if (!m_onLine) m_cycle.CancelRequests(this);
  Finish(true);
}

void ControllerScan::Finish(bool stopped) {
  m_running = false;
  if (m_finished) m_finished(stopped);
}

void ControllerScan::RequestSent(int, bool) { m_onLine = true; }

bool ControllerScan::RequestAnswered(int tag, const link::Reply& reply) {
  m_onLine = false;
  if (!m_running || GenerationOf(tag) != m_generation) return true;
  ScanHit hit;
  // The reply names its sender. A controller that answers later than its
  // reply time (a loaded gateway, a slow adapter) is heard during the wait
  // for a later address; it is listed under its own address, once.
  const int sender = reply.rx[0];
  hit.address = sender <= link::kMaxSlaveAddress ? sender : AddressOf(tag);
  const auto known = [&hit](const ScanHit& h) { return h.address == hit.address; };
  if (std::any_of(m_found.begin(), m_found.end(), known)) {
    Advance();
    return true;
  }
  if (reply.IsException()) {
    hit.exceptionCode = reply.ExceptionCode();
  } else {
    using namespace status_registers;
    const int protocol = U16(reply.rx, kProtocolVersion);
    hit.protocolVersion = protocol & ~kBlockedBit;
    hit.blocked = (protocol & kBlockedBit) != 0;
    hit.softwareVersion = U16(reply.rx, kSoftwareVersion);
    hit.objectType = U16(reply.rx, kObjectType);
  }
  m_found.insert(std::upper_bound(m_found.begin(), m_found.end(), hit,
                                  [](const ScanHit& a, const ScanHit& b) { return a.address < b.address; }),
                 hit);
  if (m_foundHandler) m_foundHandler(hit);
  Advance();
  // The short reply is the scan's alone.
  return true;
}

void ControllerScan::RequestGivenUp(int tag) {
  m_onLine = false;
  if (!m_running || GenerationOf(tag) != m_generation) return;
  Advance();
}

void ControllerScan::Advance() {
  ++m_tried;
  ++m_next;
  if (m_progress) m_progress(m_tried, Total());
  if (!m_running) return;  // stopped from a handler
  // Queued from inside the exchange's tick, before it sends: the next
  // address goes out at once, with no idle request in between.
  if (m_next > m_to || !QueueNext()) Finish(false);
}

}  // namespace zart::monitor
