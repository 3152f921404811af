#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include <QHash>
#include <QPalette>
#include <QWidget>

#include "params/param_boxes.h"
#include "params/param_editor.h"
#include "ui/panel_set.h"
#include "ui/param_box.h"
#include "ui/common_twips.h"

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QStyle;
class QTabBar;
class QToolButton;
class QAction;

namespace zart::ui {

class FileChooser;

/// `frm_param`, "Программируемые параметры": the 1208 parameter boxes on the
/// tabbed pages of `frm_prg`, the colour legend, the transfer and file
/// buttons with a progress bar, the file chooser and the banner shown while
/// the controller blocks control over Modbus. It holds no protocol state:
/// box events and button clicks go to the actions it is given, and the
/// parameter logic reaches the boxes through ParamBoxes.
class ParamWindow : public QWidget, public params::ParamBoxes, private ParamBoxEvents {
  Q_OBJECT

 public:
  /// What the window's controls ask of the parameter logic.
  struct Actions {
    std::function<void(int index)> boxChanged;           ///< txt_par_Change
    std::function<void(int index, int key)> boxKeyPress;  ///< txt_par_KeyPress
    std::function<void()> readAll;                        ///< cmd_readall_Click
    std::function<void()> writeAll;                       ///< cmd_writeall_Click
    /// cmdSaveFile_Click(folder, name); true when a file was written.
    std::function<bool(const QString& folder, const QString& name)> saveFile;
    std::function<void(const QString& folder, const QString& name)> readFile;  ///< cmdReadFile_Click
    std::function<void(const QString& folder, const QString& name)> compare;   ///< cmdCompare_Click
    /// The user closed the window; it is discarded right after.
    std::function<void()> closed;
    /// The "Сервис" menu: "Список отличий", "Сравнить два файла…",
    /// "Отчёт…", "Папка резервных копий".
    std::function<void()> showDifferences;
    std::function<void()> compareFiles;
    std::function<void()> report;
    std::function<void()> backupFolder;
  };

  /// Lets pending events run while the pages are built.
  using EventPump = std::function<void()>;

  /// Creates the window hidden, as a top-level window owned by `owner`, with
  /// the hand-laid controls. `pump` defaults to QCoreApplication::processEvents;
  /// `startFolder` (default: the user's home folder) is where the chooser opens.
  explicit ParamWindow(QWidget* owner, EventPump pump = {}, const QString& startFolder = QString());
  ~ParamWindow() override;

  /// Paints the legend and builds the generated pages (1115 boxes, their
  /// labels and frames, 42 tabs), letting pending events run in between.
  /// Runs once, right after construction.
  void Form_Load();

  void SetActions(Actions actions) { m_actions = std::move(actions); }

  /// Shows or hides `lbl_modbus_off`.
  void SetBlockedBanner(bool visible);
  /// Shows "answered / total" under the transfer buttons while a transfer
  /// runs; hides the bar when none does.
  void ShowProgress(const params::TransferProgress& progress);

  /// Text in front of "answered / total" on the progress bar (empty: none).
  void SetProgressCaption(const QString& caption);
  /// Marks the tabs of these pages with " •" and unmarks all others.
  void MarkTabs(const std::vector<params::PageRef>& pages);
  /// Brings the window forward with the slot's page shown, the box scrolled
  /// into view and focused.
  void ShowSlot(int slot, params::PageRef page);
  /// Where the backups are and what the last write check said, in the
  /// "Сервис" menu.
  void SetServiceInfo(const QString& info);
  QToolButton* ServiceButton() const { return m_service; }
  /// The tab strip that switches the pages of `group`.
  QTabBar* StripOf(params::PageGroup group) const;

  // ParamBoxes: slots outside 0..1207 read as empty and are ignored.
  QString Text(int slot) const override;
  void SetText(int slot, const QString& text) override;
  std::uint32_t Color(int slot) const override;
  void SetColor(int slot, std::uint32_t rgb) override;

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

  const PanelSet& Panels() const { return m_panels; }
  const TwipScale& Twips() const { return m_twips; }
  FileChooser& Chooser() { return *m_chooser; }
  QScrollBar* VScroll1() const { return m_vScroll; }
  QScrollBar* HScroll1() const { return m_hScroll; }
  QLabel* lbl_modbus_off() const { return m_banner; }
  QProgressBar* TransferBar() const { return m_progress; }
  QPushButton* cmd_readall() const { return m_readAll; }
  QPushButton* cmd_writeall() const { return m_writeAll; }
  QPushButton* cmdCompare() const { return m_compare; }
  QPushButton* cmdReadFile() const { return m_readFile; }
  QPushButton* cmdSaveFile() const { return m_saveFile; }
  /// The seven legend swatches Shape1..Shape7 (index 0 is Shape1).
  const std::array<QFrame*, 7>& Shapes() const { return m_shapes; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BoxChanged(int index) override;
  void BoxKeyPress(int index, int key) override;
  void BoxMoveInColumn(int index, int step) override;
  /// Tooltips: each box's name, page and EEPROM address.
  void DescribeBoxes();
  /// Tab order: the function pages top to bottom, the tables row by row.
  void SetKeyboardOrder();
  ParamBox* MakeBox(int index, QWidget* parent);
  const QPalette& PaletteFor(std::uint32_t rgb);
  void BuildStaticControls();
  void BuildServiceButton();
  void ConnectControls();
  QLabel* AddLabel(const QString& text, int left, int top, int width, int height);
  static void SwitchPage(QTabBar* strip, std::span<QGroupBox* const> frames);

  TwipScale m_twips;
  EventPump m_pump;
  QString m_startFolder;
  Actions m_actions;
  PanelSet m_panels;
  std::array<std::uint32_t, params::kSlotCount> m_colors{};
  QPalette m_boxPalette;
  QHash<std::uint32_t, QPalette> m_palettes;
  QStyle* m_boxStyle = nullptr;  // Fusion, when the application style ignores box palettes
  bool m_loaded = false;
  int m_frameLeft = 120;  // frm_prg, twips
  int m_frameTop = 0;

  QScrollBar* m_vScroll = nullptr;
  QScrollBar* m_hScroll = nullptr;
  std::array<QFrame*, 7> m_shapes{};
  QPushButton* m_readAll = nullptr;
  QPushButton* m_writeAll = nullptr;
  QPushButton* m_compare = nullptr;
  QPushButton* m_readFile = nullptr;
  QPushButton* m_saveFile = nullptr;
  QProgressBar* m_progress = nullptr;
  QLabel* m_banner = nullptr;
  FileChooser* m_chooser = nullptr;
  QToolButton* m_service = nullptr;
  QAction* m_serviceInfo = nullptr;
};

}  // namespace zart::ui
