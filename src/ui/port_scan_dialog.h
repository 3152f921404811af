#pragma once

#include <QDialog>

#include "monitor/controller_scan.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace zart::link {
class ExchangeCycle;
}

namespace zart::ui {

/// "Поиск контроллера": for a controller whose slave address is not known,
/// one short status read to each address 0..127 on the port in use, and the
/// list of those that answer with their object type and versions. Choosing
/// one hands its address to the main window; "Отмена" stops the scan at
/// once, and the exchange goes on with its own address as before.
class PortScanDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kFirstAddress = 0;
  static constexpr int kLastAddress = 127;

  /// `link`: the port's name for the caption ("COM5",
  /// "rtuovertcp://10.0.0.5:502"). `replyTimeMs`: the wait for each address
  /// (longer through a gateway).
  PortScanDialog(link::ExchangeCycle& cycle, const QString& link, int replyTimeMs, QWidget* parent);
  ~PortScanDialog() override;

  /// Starts the scan; false (and said in the window) when the exchange's
  /// queue has no room for it.
  bool Start();
  /// Says in the window why no scan is started (the link is not open) and
  /// leaves only "Закрыть".
  void Refuse(const QString& why);

  monitor::ControllerScan& Scan() { return m_scan; }
  QListWidget* List() const { return m_list; }
  QPushButton* ChooseButton() const { return m_choose; }
  QPushButton* CancelButton() const { return m_cancel; }
  QString StateText() const;

 signals:
  /// The user chose the controller at `address`.
  void addressChosen(int address);

 public slots:
  void done(int result) override;

 private:
  void Found(const monitor::ScanHit& hit);
  void Finished(bool stopped);
  void Choose();

  monitor::ControllerScan m_scan;
  int m_replyTimeMs;
  QLabel* m_state = nullptr;
  QProgressBar* m_progress = nullptr;
  QListWidget* m_list = nullptr;
  QPushButton* m_choose = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace zart::ui
