#pragma once

#include <array>
#include <functional>

#include <QRect>
#include <QString>

#include "params/function_pages.h"
#include "ui/panel_set.h"
#include "ui/common_twips.h"

class QGroupBox;
class QLabel;
class QRect;
class QWidget;

namespace zart::ui {

/// Builds the pages of the parameters window into a PanelSet: first the
/// controls the window's design lays out by hand (the five function pages,
/// the tab strips with their first tab and the first element of each
/// generated array), then, in loops, the pages of the generated tables:
/// channel screens, logic blocks, relay outputs and discrete inputs, and the
/// function tabs; last, all 1208 boxes in slot order, each on the page and
/// at the place the catalogue gives it. Every box goes through one factory,
/// which gives it the index-keyed handlers. Nothing here lets events run.
class PanelBuilder {
 public:
  /// Creates the box of slot `index` in `parent`; the builder places it.
  using BoxFactory = std::function<ParamBox*(int index, QWidget* parent)>;

  /// Where each tab strip sits in frm_prg (twips) and the frames it switches.
  struct StripGeometry {
    int left, top, width, height;
  };
  static constexpr StripGeometry kStripFun{240, 360, 6735, 9135};
  static constexpr StripGeometry kStripPsa{7200, 360, 11175, 4575};
  static constexpr StripGeometry kStripDin{7200, 5040, 5415, 4575};
  static constexpr StripGeometry kStripLogic{12720, 5040, 6015, 2175};
  static constexpr StripGeometry kStripPrs{12720, 7320, 6015, 2055};

  PanelBuilder(PanelSet& panels, const TwipScale& twips, BoxFactory makeBox);

  /// The hand-laid controls: tab strips with one tab, the function pages'
  /// captions, the header strips Frame1 and Frame2, and the first frame and
  /// label of each generated array. All page frames are hidden.
  void BuildFormData();

  /// The channel screens frm_psa(0..8), tabs "Экр1".."Экр9", row numbers.
  void BuildChannelPages();
  /// The logic pages frm_logic(0..16), tabs "М1".."М15", "НЕ1", "НЕ2".
  void BuildLogicPages();
  /// The relay pages frm_prs(0..7), tabs "1-8".."57-64", relay numbers.
  void BuildRelayPages();
  /// The input screens frm_din(0..7), tabs "1".."8", input numbers.
  void BuildInputPages();
  /// Captions the five function tabs and shows frm_fun(0).
  void SetFunctionTabs();
  /// The 1208 boxes, in slot order, made by the factory.
  void BuildBoxes();
  /// Once everything is built: every tab strip shows all its tabs, and the
  /// captions of the function pages and the tables' headers show whole.
  void FitTexts();

  /// Brings a control to the front of its container, then shows it.
  static void ShowOnTop(QWidget* control);

 private:
  QLabel* NewLabel(QWidget* parent, const QString& text, int left, int top, int width, int height, int alignment);
  QGroupBox* NewFrame(QWidget* parent, const QString& caption, int left, int top, int width, int height);
  /// A further element of a frame array: the template's place and caption, hidden.
  QGroupBox* LoadFrame(const QGroupBox* element0);
  ParamTabStrip* NewTabStrip(const StripGeometry& g);
  void BuildFunctionPage(QGroupBox* page, const params::FunctionPage& content);
  /// The page frame and rectangle of a slot's box.
  QWidget* PageOf(const params::SlotPlace& place) const;
  QRect BoxRect(int slot, const params::SlotPlace& place) const;
  /// The words of a column header ("    П1             П2            Авария")
  /// each centred over its box.
  void BuildColumnHeader(QGroupBox* page, const QString& header, int boxLeft, int boxWidth, int boxStep, int top,
                         int count);
  void BuildTableScreens(params::PageGroup group);

  PanelSet& m_panels;
  const TwipScale& m_twips;
  BoxFactory m_makeBox;
  /// Where each function-page box goes, found as the pages are laid out.
  std::array<QRect, params::kSlotCount> m_functionBoxes{};
};

}  // namespace zart::ui
