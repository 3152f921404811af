#include "link/exchange_pacer.h"

#include <algorithm>

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "link/reply_length.h"

namespace zart::link {

ExchangePacer::ExchangePacer(ExchangeCycle& cycle, Clock clock) : m_cycle(cycle), m_clock(std::move(clock)) {}

void ExchangePacer::Start() {
  m_lastWriteNs = m_clock();
  m_awaiting = true;
  m_replyNs = m_defaultReplyNs;
}

int ExchangePacer::MsUntil(std::int64_t dueNs, std::int64_t nowNs) {
  const std::int64_t left = dueNs - nowNs;
  if (left <= kNsPerMs) return 1;
  return static_cast<int>((left + kNsPerMs - 1) / kNsPerMs);
}

void ExchangePacer::Sent() {
  // The frame goes out at the very end of a tick. Counting the next
  // interval from here, not from when the tick began, keeps a slow tick
  // from eating into the reply time of the request it sent: on an RS-485
  // line a repeat sent too early collides with the reply.
  m_lastWriteNs = m_clock();
  m_awaiting = true;
  // The request just sent is the head of the queue until it is answered.
  const RequestQueue& queue = m_cycle.Queue();
  const int ms = queue.QueueIsEmpty() ? 0 : queue.Head().options.replyTimeMs;
  m_replyNs = ms > 0 ? ms * kNsPerMs : m_defaultReplyNs;
}

bool ExchangePacer::ReplyComplete(std::int64_t nowNs) {
  const int count = m_cycle.RxCount();
  if (count == 0) return false;
  const int length = ExpectedReplyLength(m_cycle.Rx(), count);
  // A reply whose rest is still on its way (the controller may pause inside
  // a frame) waits for the rest or for the time-out, as a slow tick would.
  if (length == kReplyLengthNeedMore || (length > 0 && count < length)) return false;
  if (length == count && CheckReply(m_cycle.Rx(), count) == ReplyOutcome::valid) {
    if (ReplyMatchesRequest(m_cycle.Rx(), count, m_cycle.LastFrame())) return true;
    // A whole, sound reply to another request: the answer to a repeat whose
    // first sending was answered late. At the 100 ms tick it would have run
    // into the next reply and failed the CRC test; here it would pass for
    // the next request's answer, so it is dropped and the wait goes on.
    m_cycle.DropGathered();
    return false;
  }
  // Another function, more bytes than the header promised, or a bad CRC:
  // judged once the line is silent, so no tail of it is left to spoil the
  // next exchange.
  return nowNs - m_lastByteNs >= kGapNs;
}

int ExchangePacer::Step() {
  const std::int64_t now = m_clock();
  // While a reply is awaited: its reply time; once judged, the idle pace.
  const std::int64_t due = m_lastWriteNs + (m_awaiting ? m_replyNs : kIntervalNs);

  if (m_fast && m_awaiting && now < due) {
    if (m_cycle.GatherReply() > 0) m_lastByteNs = now;
    if (!ReplyComplete(now)) return kPollMs;
    m_cycle.JudgeReply();
    m_awaiting = false;
    // Handling the reply may well have outlasted the line's gap; then the
    // next queued request goes out at once.
    if (!m_cycle.WorkPending()) return kPollMs;
    if (m_clock() - m_lastByteNs < kGapNs) return kGapWait;
    m_cycle.SendNextRequest();
    Sent();
    return kPollMs;
  }

  if (now < due) {
    if (!m_fast || m_awaiting) return MsUntil(due, now);
    // Fast, the reply judged: queued work goes out after the line's gap;
    // idle traffic waits for its 100 ms pace so the controller sees no
    // more load than usual when nothing is asked of it.
    if (!m_cycle.WorkPending()) return std::min(kIdleCheckMs, MsUntil(due, now));
    if (now - m_lastByteNs < kGapNs) return kGapWait;
    m_cycle.SendNextRequest();
    Sent();
    return kPollMs;
  }

  // The interval is over: the reply is judged, complete or not, and the
  // next request (the same one again when unanswered) goes out.
  if (m_awaiting) {
    m_cycle.ExchangeTick();
  } else {
    m_cycle.SendNextRequest();
  }
  Sent();
  return m_fast ? kPollMs : MsUntil(m_lastWriteNs + m_replyNs, m_lastWriteNs);
}

}  // namespace zart::link
