#include "link/frame_recorder.h"

#include <algorithm>

namespace zart::link {

FrameRecorder::FrameRecorder(Clock clock)
    : m_clock(std::move(clock)), m_ring(std::make_unique<std::array<RecordedExchange, kCapacity>>()) {
  m_elapsed.start();
}

std::int64_t FrameRecorder::NowMs() const { return m_clock ? m_clock() : m_elapsed.elapsed(); }

RecordedExchange& FrameRecorder::Open(std::int64_t now) {
  RecordedExchange& e = Slot(m_next);
  e.number = m_next++;
  e.sentMs = now;
  e.judgedMs = now;
  e.verdict = ExchangeVerdict::pending;
  e.repeat = false;
  e.requestLength = 0;
  e.replyLength = 0;
  e.requestHeaderLength = 0;
  e.replyHeaderLength = 0;
  return e;
}

namespace {

std::uint8_t CopyHeader(std::span<const std::uint8_t> header, std::array<std::uint8_t, 7>& into) {
  const std::size_t n = std::min(header.size(), into.size());
  std::copy_n(header.begin(), n, into.begin());
  return static_cast<std::uint8_t>(n);
}

}  // namespace

void FrameRecorder::RecordRequest(std::span<const std::uint8_t> frame, bool repeat, std::span<const std::uint8_t> header) {
  const std::int64_t now = NowMs();
  if (m_pending) {
    // A request went out while the one before was still open (the port
    // was reopened in between): that one is left without an answer.
    RecordedExchange& open = Slot(m_next - 1);
    open.verdict = ExchangeVerdict::no_answer;
    open.judgedMs = now;
    CountVerdict(open.verdict, now);
  }
  RecordedExchange& e = Open(now);
  const std::size_t n = std::min(frame.size(), e.request.size());
  std::copy_n(frame.begin(), n, e.request.begin());
  e.requestLength = static_cast<std::uint16_t>(n);
  e.requestHeaderLength = CopyHeader(header, e.requestHeader);
  e.repeat = repeat;
  if (e.repeat) ++m_total.repeats;
  ++m_total.requests;
  m_pending = true;
}

void FrameRecorder::RecordReply(const RxStore& rx, int rxCount, ReplyOutcome outcome, std::span<const std::uint8_t> header) {
  const int stored = std::clamp(rxCount, 0, RxStore::kMaxStored);
  if (!m_pending && stored == 0) return;
  const std::int64_t now = NowMs();
  // Bytes without a request out (noise, or a late reply after the port was
  // reopened) still get a line of their own.
  RecordedExchange& e = m_pending ? Slot(m_next - 1) : Open(now);
  m_pending = false;
  for (int k = 0; k < stored; ++k) e.reply[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(rx[k]);
  e.replyLength = static_cast<std::uint16_t>(stored);
  e.replyHeaderLength = stored > 0 ? CopyHeader(header, e.replyHeader) : 0;
  e.judgedMs = now;
  switch (outcome) {
    case ReplyOutcome::no_answer:
      e.verdict = ExchangeVerdict::no_answer;
      break;
    case ReplyOutcome::crc_mismatch:
      e.verdict = ExchangeVerdict::crc_mismatch;
      break;
    case ReplyOutcome::valid:
      e.verdict = rx[1] >= FC_EXCEPTION_FLAG ? ExchangeVerdict::exception : ExchangeVerdict::reply;
      break;
  }
  CountVerdict(e.verdict, now);
}

void FrameRecorder::CountVerdict(ExchangeVerdict verdict, std::int64_t now) {
  bool good = false;
  switch (verdict) {
    case ExchangeVerdict::pending:
      return;
    case ExchangeVerdict::reply:
      ++m_total.validReplies;
      good = true;
      break;
    case ExchangeVerdict::exception:
      ++m_total.exceptions;
      good = true;
      break;
    case ExchangeVerdict::no_answer:
      ++m_total.noAnswers;
      break;
    case ExchangeVerdict::crc_mismatch:
      ++m_total.crcMismatches;
      break;
  }
  const std::int64_t second = now / 1000;
  Second& s = m_seconds[static_cast<std::size_t>(second % static_cast<std::int64_t>(m_seconds.size()))];
  if (s.second != second) s = Second{second, 0, 0};
  ++s.judged;
  if (good) ++s.good;
}

TrafficCounters FrameRecorder::SinceCleared() const {
  TrafficCounters c;
  c.requests = m_total.requests - m_clearedAt.requests;
  c.validReplies = m_total.validReplies - m_clearedAt.validReplies;
  c.noAnswers = m_total.noAnswers - m_clearedAt.noAnswers;
  c.crcMismatches = m_total.crcMismatches - m_clearedAt.crcMismatches;
  c.exceptions = m_total.exceptions - m_clearedAt.exceptions;
  c.repeats = m_total.repeats - m_clearedAt.repeats;
  c.refused = m_total.refused - m_clearedAt.refused;
  return c;
}

void FrameRecorder::ClearCounters() {
  m_clearedAt = m_total;
  m_seconds.fill(Second{});
}

double FrameRecorder::GoodShareLastMinute() const {
  const std::int64_t now = NowMs() / 1000;
  std::uint64_t good = 0;
  std::uint64_t judged = 0;
  for (const Second& s : m_seconds) {
    if (s.second < 0 || s.second <= now - static_cast<std::int64_t>(m_seconds.size())) continue;
    good += s.good;
    judged += s.judged;
  }
  return judged == 0 ? -1.0 : static_cast<double>(good) / static_cast<double>(judged);
}

std::uint64_t FrameRecorder::OldestNumber() const {
  const std::uint64_t newest = NewestNumber();
  return newest < static_cast<std::uint64_t>(kCapacity) ? 1 : newest - kCapacity + 1;
}

const RecordedExchange* FrameRecorder::Find(std::uint64_t number) const {
  if (number == 0 || number > NewestNumber() || number < OldestNumber()) return nullptr;
  return &(*m_ring)[number % kCapacity];
}

}  // namespace zart::link
