#include "link/exchange_pacer.h"

#include <algorithm>

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "link/port.h"
#include "link/reply_length.h"

namespace zart::link {

ExchangePacer::ExchangePacer(ExchangeCycle& cycle, Clock clock) : m_cycle(cycle), m_clock(std::move(clock)) {}

void ExchangePacer::Start() {
  m_lastWriteNs = m_clock();
  m_replyDueNs = m_lastWriteNs + kIntervalNs;
  m_awaiting = true;
}

int ExchangePacer::MsUntil(std::int64_t dueNs, std::int64_t nowNs) {
  const std::int64_t left = dueNs - nowNs;
  if (left <= kNsPerMs) return 1;
  return static_cast<int>((left + kNsPerMs - 1) / kNsPerMs);
}

bool ExchangePacer::Network() const { return m_defaultReplyNs > 0 || m_cycle.LinkPort().ReplyTimeoutMs() > 0; }

bool ExchangePacer::JudgesEarly() const { return m_fast || Network(); }

std::int64_t ExchangePacer::ReplyTimeNs(bool written) const {
  // The request just sent is the head of the queue until it is answered; a
  // scan of addresses asks for less than a tick.
  const RequestQueue& queue = m_cycle.Queue();
  const int own = queue.QueueIsEmpty() ? 0 : queue.Head().options.replyTimeMs;
  if (own > 0) return own * kNsPerMs;
  // A request that could not be written (the link is down) has nothing to
  // wait for: the next tick comes at the usual pace and says why.
  if (!written) return kIntervalNs;
  if (m_defaultReplyNs > 0) return m_defaultReplyNs;
  const int link = m_cycle.LinkPort().ReplyTimeoutMs();
  return link > 0 ? link * kNsPerMs : kIntervalNs;
}

bool ExchangePacer::WantsArrival() const { return m_awaiting && JudgesEarly(); }

int ExchangePacer::Send() {
  const std::uint64_t written = m_cycle.Counters().framesSent;
  m_cycle.SendNextRequest();
  // The frame goes out at the very end of a tick. Counting the next
  // interval from here, not from when the tick began, keeps a slow tick
  // from eating into the reply time of the request it sent: on an RS-485
  // line a repeat sent too early collides with the reply.
  m_lastWriteNs = m_clock();
  m_awaiting = true;
  m_replyDueNs = m_lastWriteNs + ReplyTimeNs(m_cycle.Counters().framesSent != written);
  if (!JudgesEarly()) return MsUntil(m_replyDueNs, m_lastWriteNs);
  // A link that reports arrivals wakes the pacer itself.
  return m_cycle.LinkPort().SignalsArrival() ? MsUntil(m_replyDueNs, m_lastWriteNs) : kPollMs;
}

ExchangePacer::Reply ExchangePacer::ReplyState(std::int64_t nowNs, bool network) {
  const int count = m_cycle.RxCount();
  if (count == 0) return Reply::needs_bytes;
  const int length = ExpectedReplyLength(m_cycle.Rx(), count);
  // A reply whose rest is still on its way (the controller may pause inside
  // a frame) waits for the rest or for the time-out, as a slow tick would.
  if (length == kReplyLengthNeedMore || (length > 0 && count < length)) return Reply::needs_bytes;
  if (length == count && CheckReply(m_cycle.Rx(), count) == ReplyOutcome::valid) {
    if (ReplyMatchesRequest(m_cycle.Rx(), count, m_cycle.LastFrame())) return Reply::complete;
    // A whole, sound reply to another request: the answer to a repeat whose
    // first sending was answered late. At the 100 ms tick it would have run
    // into the next reply and failed the CRC test; here it would pass for
    // the next request's answer, so it is dropped and the wait goes on.
    m_cycle.DropGathered();
    return Reply::needs_bytes;
  }
  // Another function, more bytes than the header promised, or a bad CRC:
  // judged once the line is silent, so no tail of it is left to spoil the
  // next exchange.
  return nowNs - m_lastByteNs >= (network ? kNetSilenceNs : kGapNs) ? Reply::complete : Reply::needs_silence;
}

int ExchangePacer::Step() {
  const std::int64_t now = m_clock();
  const Port& port = m_cycle.LinkPort();
  const bool network = Network();

  if (m_awaiting) {
    // Nothing can come over a link that is down: its message shows at the
    // usual pace instead of after a network time-out.
    const std::int64_t due = port.IsOpen() ? m_replyDueNs : std::min(m_replyDueNs, m_lastWriteNs + kIntervalNs);
    if (!JudgesEarly()) {
      if (now < due) return MsUntil(due, now);
      // The interval is over: the reply is judged, complete or not, and the
      // next request (the same one again when unanswered) goes out.
      const std::uint64_t written = m_cycle.Counters().framesSent;
      m_cycle.ExchangeTick();
      m_lastWriteNs = m_clock();
      m_replyDueNs = m_lastWriteNs + ReplyTimeNs(m_cycle.Counters().framesSent != written);
      return MsUntil(m_replyDueNs, m_lastWriteNs);
    }
    if (now < due) {
      if (m_cycle.GatherReply() > 0) m_lastByteNs = now;
      switch (ReplyState(now, network)) {
        case Reply::needs_bytes:
          return port.SignalsArrival() ? MsUntil(due, now) : kPollMs;
        case Reply::needs_silence:
          return network ? MsUntil(std::min(due, m_lastByteNs + kNetSilenceNs), now) : kPollMs;
        case Reply::complete:
          break;
      }
    }
    // Complete, or missing at its time-out.
    m_cycle.JudgeReply();
    m_awaiting = false;
  }

  // Judged: fast exchange sends queued work right after the line's gap
  // (handling the reply may well have outlasted it); idle traffic, and any
  // request without fast exchange, waits for the 100 ms pace so the
  // controller sees no more load than usual.
  const std::int64_t after = m_clock();
  const std::int64_t paceDue = m_lastWriteNs + kIntervalNs;
  if (m_fast && m_cycle.WorkPending()) {
    if (after - m_lastByteNs < kGapNs) return kGapWait;
    return Send();
  }
  if (after >= paceDue) return Send();
  return m_fast ? std::min(kIdleCheckMs, MsUntil(paceDue, after)) : MsUntil(paceDue, after);
}

}  // namespace zart::link
