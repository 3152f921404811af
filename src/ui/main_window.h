#pragma once

#include <array>

#include <QMainWindow>

#include "link/status_line.h"
#include "monitor/status_view.h"
#include "ui/common_layout.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFontMetrics;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace zart::ui {

/// `frm_main`, the main window: live values, lamps, the signal grid, the
/// four command buttons, the slave address and the status line. It holds no
/// protocol state: the logic hands it what to show (StatusView, LinkView)
/// and it passes the user's actions on as signals. Controls carry their
/// design names as object names (`lbl_eng_rpm`, `cmd_mode_0`, `lbl_sgl_17`).
class MainWindow : public QMainWindow, public link::LinkView, public monitor::StatusView {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // link::LinkView
  QString StatusText() const override;
  void SetStatusText(const QString& text) override;
  /// Sets the text and repaints the status line before returning.
  void ShowStatusNow(const QString& text) override;
  void SetSlaveAddress(int address) override;
  void SetTransactionId(int counter) override;

  /// The entry selected in `cmb_slad` (the slave address shown), -1 with none.
  int SlaveAddress() const;

  // monitor::StatusView
  void SetValueText(monitor::ValueLabel label, const QString& text) override;
  void SetFaultText(int index, const QString& text) override;
  void SetLampLit(int index, bool lit) override;
  void SetLampVisible(int index, bool visible) override;
  void SetSignalLit(int index, bool lit) override;
  void SetPropSpeedVisible(bool visible) override;
  void SetParamMenuEnabled(bool enabled) override;
  void SetBlockedBannerVisible(bool visible) override;
  void SetStale(bool stale, const QString& note) override;
  /// The note before the first status reply.
  static QString NoDataNote();
  bool Stale() const { return m_stale; }
  QLabel* StaleNote() const { return m_staleNote; }

  /// `cmb_slad`: the entries "0".."count-1", `selected` selected.
  void FillSlaveAddresses(int count, int selected);
  /// Creates the visible signal cells 1..255 from the hidden template in a
  /// 16-column grid, each captioned with its number and lit.
  void CreateSignalCells();

  /// Puts the window where it opens: its design position where the whole
  /// window, frame included, fits on the screen, otherwise moved just enough
  /// to stand wholly on it. The window manager's frame is guessed until the
  /// window shows and checked again once it is known.
  void PlaceOnScreen();
  /// The top left corner for a frame of `frame` size that wants to stand at
  /// `design` on a screen whose free area is `screen`: `design` where it
  /// fits, else moved just inside; a frame larger than the screen keeps its
  /// top left corner on it.
  static QPoint FitOnScreen(QPoint design, QSize frame, QRect screen);
  /// `text` broken into lines of at most `width` pixels, only at blanks.
  static QString WrapAtBlanks(const QString& text, const QFontMetrics& metrics, int width);

  QLabel* ValueLabelOf(monitor::ValueLabel label) const;
  QLabel* Lamp(int index) const;
  /// Null for cells not created yet.
  QLabel* SignalCell(int index) const;
  QLabel* FaultLabel(int index) const;
  QPushButton* CommandButton(int index) const;
  QAction* ParamMenu() const { return mnu_param; }
  QAction* PortMenu() const { return mnu_settings; }
  /// "Сервис", after the two design commands: the traffic monitor, the
  /// trends and the CSV log.
  QMenu* ServiceMenu() const { return m_serviceMenu; }
  /// "Журнал в файл…", checked while a log is being written.
  QAction* CsvLogAction() const { return m_csvLogAction; }
  /// Lit state as last set (lamps start dark, created cells lit).
  bool LampLit(int index) const;
  bool SignalLit(int index) const;

 signals:
  /// `cmd_mode`(index) clicked.
  void commandClicked(int index);
  /// The user chose another entry of `cmb_slad`.
  void slaveAddressChosen(int address);
  /// `chk_armoff` changed (nothing shows it; kept for the heartbeat's flag).
  void protectionOffToggled(bool on);
  void paramMenuTriggered();
  void portMenuTriggered();
  /// "Сервис" → "Монитор обмена", "Графики", "Журнал в файл…" (on or off).
  void trafficMonitorTriggered();
  void trendsTriggered();
  void csvLogToggled(bool on);
  /// The user closed the window: the program ends.
  void closing();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenu();
  void BuildServiceMenu();
  void BuildTopLine(QWidget* client);
  void BuildLamps(QWidget* client);
  void BuildMeasurements(QWidget* client);
  void BuildCommands(QWidget* client);
  void BuildSignals(QWidget* client);
  void BuildFaults(QWidget* client);
  void BuildCounters(QWidget* client);
  void BuildBottomLine(QWidget* client);
  /// A label at twip geometry; `pointSize` 0 means the default font.
  QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect twips, double pointSize,
                    Qt::Alignment align, bool border = false);
  static void ShowLit(QLabel* label, bool lit);
  void StyleGroup(QGroupBox* box) const;
  /// The one face of the four command buttons.
  QFont CommandFont() const;
  /// Moves the window back onto the screen once the window manager framed it.
  void KeepOnScreen();

  CommonLayout m_layout;
  QWidget* m_client = nullptr;
  bool m_shownOnce = false;
  bool m_awaitFrame = false;  // placed, the window manager's frame not yet seen

  QAction* mnu_param = nullptr;
  QAction* mnu_settings = nullptr;
  QMenu* m_serviceMenu = nullptr;
  QAction* m_csvLogAction = nullptr;

  std::array<QLabel*, 8> m_values{};
  std::array<QLabel*, kLampCount> lbl_led{};
  std::array<bool, kLampCount> m_lampLit{};
  std::array<QLabel*, kSignalCount> lbl_sgl{};
  std::array<bool, kSignalCount> m_signalLit{};
  std::array<QLabel*, kFaultCount> lbl_faults{};
  std::array<QPushButton*, 4> cmd_mode{};

  QLabel* lblc_prop_rpm = nullptr;
  QLabel* lbl_modbus_off = nullptr;
  QLabel* lbl_tr_id = nullptr;
  QLabel* lbl_sys_mes = nullptr;
  QLabel* m_staleNote = nullptr;
  bool m_stale = true;
  QComboBox* cmb_slad = nullptr;
  QCheckBox* chk_armoff = nullptr;
  QGroupBox* Frame4 = nullptr;
};

}  // namespace zart::ui
