#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include <QHash>
#include <QPalette>
#include <QWidget>

#include "params/param_editor.h"
#include "params/param_set.h"
#include "ui/common_twips.h"
#include "ui/panel_set.h"
#include "ui/param_box.h"

class QFrame;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QStyle;
class QTabBar;
class QToolButton;
class QAction;

namespace zart::ui {

class FileChooser;
class PanelBuilder;

/// `frm_param`, "Программируемые параметры": the 1208 parameter boxes on the
/// tabbed pages of `frm_prg`, the colour legend, the transfer and file
/// buttons with a progress bar, the file chooser and the banner shown while
/// the controller blocks control over Modbus. It is a view of the parameter
/// set: each box shows the set's text in the colour of its state, and what
/// the user types goes to the set at once through the actions it is given.
/// Beside the design's controls it has a menu bar with the main actions and
/// their keys, a "Прервать" button for a running transfer, and a status line
/// of its own.
class ParamWindow : public QWidget, public params::ParamSetListener, private ParamBoxEvents {
  Q_OBJECT

 public:
  /// What the window's controls ask of the parameter logic.
  struct Actions {
    std::function<void(int index, const QString& text)> boxEdited;  ///< txt_par_Change
    std::function<void(int index, int key)> boxKeyPress;             ///< txt_par_KeyPress
    std::function<void()> readAll;                                   ///< cmd_readall_Click
    std::function<void()> writeAll;                                  ///< cmd_writeall_Click
    /// cmdSaveFile_Click(folder, name); true when a file was written.
    std::function<bool(const QString& folder, const QString& name)> saveFile;
    std::function<void(const QString& folder, const QString& name)> readFile;  ///< cmdReadFile_Click
    std::function<void(const QString& folder, const QString& name)> compare;   ///< cmdCompare_Click
    /// "Прервать": the rest of the running transfer leaves the queue.
    std::function<void()> abort;
    /// The user closed the window; it is discarded right after.
    std::function<void()> closed;
    /// The "Сервис" menu: "Список отличий", "Сравнить два файла…",
    /// "Отчёт…", "Папка резервных копий".
    std::function<void()> showDifferences;
    std::function<void()> compareFiles;
    std::function<void()> report;
    std::function<void()> backupFolder;
  };

  /// Creates the window hidden, as a top-level window owned by `owner`,
  /// showing `set`. `startFolder` (default: the user's home folder) is
  /// where the chooser opens.
  ParamWindow(QWidget* owner, const params::ParamSet& set, const QString& startFolder = QString());
  ~ParamWindow() override;

  /// Paints the legend and builds the pages: 1208 boxes showing the set,
  /// their labels and frames, 42 tabs. Runs once, right after construction;
  /// nothing in it lets events run.
  void Form_Load();

  void SetActions(Actions actions) { m_actions = std::move(actions); }

  /// Shows or hides `lbl_modbus_off`.
  void SetBlockedBanner(bool visible);
  /// Shows "answered / total" under the transfer buttons while a transfer
  /// runs ("Проверка записи:" in front during a write check, "нет ответа,
  /// повтор…" while the controller is silent), with "Прервать" beside it;
  /// hides both when none runs.
  void ShowProgress(const params::TransferProgress& progress, bool checking);
  /// A message for the user in the window's status line.
  void ShowMessage(const QString& text);
  QString Message() const;
  /// Marks the tabs of these pages with " •" and unmarks all others.
  void MarkTabs(const std::vector<params::PageRef>& pages);
  /// Brings the window forward with the slot's page shown, the box scrolled
  /// into view and focused.
  void ShowSlot(int slot);
  /// Where the backups are and what the last write check said, in the
  /// "Сервис" menu.
  void SetServiceInfo(const QString& info);
  QToolButton* ServiceButton() const { return m_service; }
  /// The tab strip that switches the pages of `group`.
  QTabBar* StripOf(params::PageGroup group) const;

  /// What box `slot` shows: its text and background (0xRRGGBB).
  QString Text(int slot) const;
  std::uint32_t Color(int slot) const;

  /// Tab strip clicks: hide every page of the strip, show the selected one.
  void TabStrip_fun_Click();
  void TabStrip_psa_Click();
  void TabStrip_din_Click();
  void TabStrip_logic_Click();
  void TabStrip_prs_Click();
  /// Keeps the size within limits and places the scroll bars.
  void Form_Resize();
  /// Scroll bar moves (both change and drag): frm_prg follows, in twips.
  void HScroll1_Change(int value);
  void VScroll1_Change(int value);
  /// Scrolls frm_prg so that `control` (one of its descendants) shows whole.
  void ScrollIntoView(QWidget* control);

  // params::ParamSetListener: the box shows the slot's text and state.
  void SlotChanged(int slot) override;

  const PanelSet& Panels() const { return m_panels; }
  const TwipScale& Twips() const { return m_twips; }
  FileChooser& Chooser() { return *m_chooser; }
  QScrollBar* VScroll1() const { return m_vScroll; }
  QScrollBar* HScroll1() const { return m_hScroll; }
  QLabel* lbl_modbus_off() const { return m_banner; }
  QProgressBar* TransferBar() const { return m_progress; }
  QPushButton* AbortButton() const { return m_abort; }
  QPushButton* cmd_readall() const { return m_readAll; }
  QPushButton* cmd_writeall() const { return m_writeAll; }
  QPushButton* cmdCompare() const { return m_compare; }
  QPushButton* cmdReadFile() const { return m_readFile; }
  QPushButton* cmdSaveFile() const { return m_saveFile; }
  QMenuBar* MenuBar() const { return m_menuBar; }
  QLabel* StatusLine() const { return m_statusLine; }
  /// The seven legend swatches Shape1..Shape7 (index 0 is Shape1).
  const std::array<QFrame*, 7>& Shapes() const { return m_shapes; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BoxChanged(int index) override;
  void BoxKeyPress(int index, int key) override;
  void BoxMoveInColumn(int index, int step) override;
  /// Tooltips and accessible names: each box's name, page and EEPROM address.
  void DescribeBoxes();
  /// The box's tooltip: its description, and why its value cannot be
  /// written when it cannot.
  void DescribeBox(int slot);
  /// Tab order: the function pages top to bottom, the tables row by row.
  void SetKeyboardOrder();
  ParamBox* MakeBox(int index, QWidget* parent);
  const QPalette& PaletteFor(std::uint32_t rgb);
  void BuildStaticControls();
  void BuildServiceButton();
  void BuildMenuBar();
  void ConnectControls();
  void Run(const std::function<void()>& action) const;
  void RunOnFile(const std::function<void(const QString&, const QString&)>& action) const;
  /// The room the menu bar and the status line take above and below the
  /// page area, in pixels.
  QSize Chrome() const;
  QLabel* AddLabel(const QString& text, int left, int top, int width, int height);
  static void SwitchPage(QTabBar* strip, std::span<QGroupBox* const> frames);

  const params::ParamSet& m_set;
  TwipScale m_twips;
  std::unique_ptr<PanelBuilder> m_builder;  // from construction until the pages are built
  QString m_startFolder;
  Actions m_actions;
  PanelSet m_panels;
  std::array<QString, params::kSlotCount> m_descriptions;
  QPalette m_boxPalette;
  QHash<std::uint32_t, QPalette> m_palettes;
  QStyle* m_boxStyle = nullptr;  // Fusion, when the application style ignores box palettes
  bool m_loaded = false;
  bool m_showing = false;  // a box is being set from the set: not the user's typing
  int m_frameLeft = 120;  // frm_prg, twips
  int m_frameTop = 0;

  QMenuBar* m_menuBar = nullptr;
  QWidget* m_area = nullptr;  // the design's client area: frm_prg and the two bars
  QLabel* m_statusLine = nullptr;
  QScrollBar* m_vScroll = nullptr;
  QScrollBar* m_hScroll = nullptr;
  std::array<QFrame*, 7> m_shapes{};
  QPushButton* m_readAll = nullptr;
  QPushButton* m_writeAll = nullptr;
  QPushButton* m_compare = nullptr;
  QPushButton* m_readFile = nullptr;
  QPushButton* m_saveFile = nullptr;
  QProgressBar* m_progress = nullptr;
  QPushButton* m_abort = nullptr;
  QAction* m_abortAction = nullptr;
  QLabel* m_banner = nullptr;
  FileChooser* m_chooser = nullptr;
  QToolButton* m_service = nullptr;
  QAction* m_serviceInfo = nullptr;
};

}  // namespace zart::ui
