#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include "link/request_queue.h"

namespace zart::link {
class ExchangeCycle;
class RxStore;
}  // namespace zart::link

namespace zart::monitor {

/// "Проверить" in the port dialog: one status read through the exchange on
/// the link in use, with a client of its own and a limit of attempts, told
/// in words: the object type and versions the controller reported, or why
/// nothing came. A network link still connecting is waited for first.
class LinkCheck : public link::RequestClient {
 public:
  static constexpr int kAttempts = 2;
  /// How long a link that is not open yet may take to come up.
  static constexpr int kConnectWaitMs = 3500;
  static constexpr int kPollMs = 50;

  /// `found`: the controller answered; `text` in Russian either way.
  using Done = std::function<void(bool found, const QString& text)>;

  explicit LinkCheck(link::ExchangeCycle& cycle);
  ~LinkCheck() override;
  LinkCheck(const LinkCheck&) = delete;
  LinkCheck& operator=(const LinkCheck&) = delete;

  /// Starts a check (a check under way is dropped); `done` is called once,
  /// from the event loop, unless Cancel() comes first.
  void Start(Done done);
  /// Drops the check and its request, if queued.
  void Cancel();
  bool Running() const { return static_cast<bool>(m_done); }
  /// One look at the link, as the timer makes it; public for tests.
  void Poll();

  bool RequestAnswered(int tag, const link::Reply& reply) override;
  void RequestGivenUp(int tag) override;

  /// "Найден контроллер ЗАРТ: ДГУ, версия протокола 2.3, версия ПО 1.5
  /// (адрес 7)", from a status reply.
  static QString FoundText(const link::RxStore& rx, int address);

 private:
  void Finish(bool found, const QString& text);
  QString NoAnswerText() const;

  link::ExchangeCycle& m_cycle;
  QTimer m_timer;
  QElapsedTimer m_since;
  Done m_done;
  bool m_queued = false;
  int m_address = 0;
  int m_deadlineMs = 0;
};

}  // namespace zart::monitor
