#pragma once

#include <array>
#include <functional>

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
/// generated array), then, in loops, the generated tables: channel screens,
/// logic blocks, relay outputs and discrete inputs, and the function tabs.
/// Every box goes through one factory, which gives it the index-keyed
/// handlers; pending events run at the points the builders name, so the
/// program stays responsive while the 1115 generated boxes are created.
class PanelBuilder {
 public:
  /// Creates the box of slot `index` in `parent`; the builder places it.
  using BoxFactory = std::function<ParamBox*(int index, QWidget* parent)>;
  /// Lets pending events run (QCoreApplication::processEvents in the window).
  using EventPump = std::function<void()>;

  /// Where each tab strip sits in frm_prg (twips) and the frames it switches.
  struct StripGeometry {
    int left, top, width, height;
  };
  static constexpr StripGeometry kStripFun{240, 360, 6735, 9135};
  static constexpr StripGeometry kStripPsa{7200, 360, 11175, 4575};
  static constexpr StripGeometry kStripDin{7200, 5040, 5415, 4575};
  static constexpr StripGeometry kStripLogic{12720, 5040, 6015, 2175};
  static constexpr StripGeometry kStripPrs{12720, 7320, 6015, 2055};

  PanelBuilder(PanelSet& panels, const TwipScale& twips, BoxFactory makeBox, EventPump pump);

  /// The hand-laid controls: tab strips with one tab, the function pages with
  /// slots 0..88, the header strips Frame1 and Frame2, and the templates of
  /// the generated arrays (boxes 89, 737, 888, 952 and their first labels and
  /// frames). All boxes read "-"; all page frames are hidden.
  void BuildFormData(const std::array<params::FunctionPage, 5>& pages);

  /// Slots 89..736 on frm_psa(0..8), tabs "Экр1".."Экр9".
  void BuildChannelPages();
  /// Slots 737..887 on frm_logic(0..16), tabs "М1".."М15", "НЕ1", "НЕ2".
  void BuildLogicPages();
  /// Slots 888..951 on frm_prs(0..7), tabs "1-8".."57-64".
  void BuildRelayPages();
  /// Slots 952..1207 on frm_din(0..7), tabs "1".."8".
  void BuildInputPages();
  /// Captions the five function tabs and shows frm_fun(0).
  void SetFunctionTabs();
  /// Once everything is built: every tab strip shows all its tabs, and the
  /// captions of the function pages and the tables' headers show whole.
  void FitTexts();

  /// Brings a control to the front of its container, then shows it.
  static void ShowOnTop(QWidget* control);

 private:
  ParamBox* NewBox(int index, QWidget* parent, int left, int top, int width, int height);
  QLabel* NewLabel(QWidget* parent, const QString& text, int left, int top, int width, int height, int alignment);
  QGroupBox* NewFrame(QWidget* parent, const QString& caption, int left, int top, int width, int height);
  /// A further element of a frame array: the template's place and caption, hidden.
  QGroupBox* LoadFrame(const QGroupBox* element0);
  ParamTabStrip* NewTabStrip(const StripGeometry& g);
  void BuildFunctionPage(QGroupBox* page, const params::FunctionPage& content);
  /// The words of a column header ("    П1             П2            Авария")
  /// each centred over its box.
  void BuildColumnHeader(QGroupBox* page, const QString& header, int boxLeft, int boxWidth, int boxStep, int top,
                         int count);
  void BuildTableScreens(bool channels);

  PanelSet& m_panels;
  const TwipScale& m_twips;
  BoxFactory m_makeBox;
  EventPump m_pump;
};

}  // namespace zart::ui
