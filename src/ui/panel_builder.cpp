#include "ui/panel_builder.h"

#include <algorithm>
#include <span>
#include <vector>

#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>

#include "params/slot_names.h"
#include "ui/param_box.h"
#include "ui/param_tab_strip.h"
#include "ui/param_text_fit.h"

namespace zart::ui {
namespace {

// Layout of the form data, twips relative to the container.
constexpr int kRowHeight = 375;        // every parameter box
constexpr int kTableRowTop = 240;      // first row of a channel or input screen
constexpr int kTableNameLeft = 600;    // name column of both tables
constexpr int kWideName = 1215;        // 12-byte names
constexpr int kNarrowName = 500;       // 4-byte names, rows 5-8 of channel screens
constexpr int kRowLabelLeft = 120;
constexpr int kRowLabelWidth = 375;

constexpr int kLogicTop = 600;
constexpr int kLogicThresholdLeft = 120;
constexpr int kLogicInputLeft = 1680;
constexpr int kLogicBoxWidth = 495;
constexpr int kNotOutTop = 960;
constexpr int kNotOutHeight = 255;

constexpr int kRelayBoxLeft = 120;
constexpr int kRelayBoxTop = 600;
constexpr int kRelayBoxWidth = 615;
constexpr int kRelayLabelLeft = 120;
constexpr int kRelayLabelTop = 240;
constexpr int kRelayLabelWidth = 600;
constexpr int kRelayLabelHeight = 255;

// Function pages: caption at the left, boxes in one 1215-wide area.
constexpr int kFunPageLeft = 360;
constexpr int kFunPageTop = 480;
constexpr int kFunPageWidth = 6495;
constexpr int kFunPageHeight = 8400;
constexpr int kFunRowTop = 360;
constexpr int kFunRowStep = 360;
constexpr int kFunCaptionLeft = 120;
constexpr int kFunCaptionWidth = 4560;
constexpr int kFunBoxLeft = 4920;
constexpr int kFunBoxArea = 1215;
// Three boxes of a row end where the single boxes end and take what the
// row's caption leaves of the line: wide enough for "6553.5" and, as far as
// the line allows, for the column word above ("периодическое").
constexpr int kFunTripleMinWidth = 600;
constexpr int kFunTripleMaxWidth = 1050;
constexpr int kFunTripleGap = 15;
constexpr int kFunCaptionGap = 120;

struct Column {
  int left;
  int width;
};
// Column headers of the channel table in Frame1 and of the input table in
// Frame2 (their words are the catalogue's column names).
constexpr std::array<Column, params::kChannelColumns> kChannelColumns{
    {{720, 1200}, {1920, 600}, {2520, 840}, {3360, 1080}, {4560, 960}, {5760, 1080}, {7080, 1080}, {8160, 960}, {9360, 1080}}};
constexpr std::array<Column, params::kInputColumns> kInputColumns{{{600, 1200}, {1920, 840}, {3120, 600}, {3960, 1080}}};

// Row r (0..7) of a channel or input screen.
int TableRowTop(int row) { return kTableRowTop + row * kRowHeight; }

QString Num(int n) { return QString::number(n); }

}  // namespace

PanelBuilder::PanelBuilder(PanelSet& panels, const TwipScale& twips, BoxFactory makeBox)
    : m_panels(panels), m_twips(twips), m_makeBox(std::move(makeBox)) {}

void PanelBuilder::ShowOnTop(QWidget* control) {
  control->raise();
  control->setVisible(true);
}

QLabel* PanelBuilder::NewLabel(QWidget* parent, const QString& text, int left, int top, int width, int height,
                               int alignment) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::Alignment(alignment));
  label->setGeometry(m_twips.Rect(left, top, width, height));
  return label;
}

QGroupBox* PanelBuilder::NewFrame(QWidget* parent, const QString& caption, int left, int top, int width,
                                  int height) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setGeometry(m_twips.Rect(left, top, width, height));
  frame->setVisible(false);
  return frame;
}

QGroupBox* PanelBuilder::LoadFrame(const QGroupBox* element0) {
  auto* frame = new QGroupBox(element0->title(), element0->parentWidget());
  frame->setGeometry(element0->geometry());
  frame->setVisible(false);
  frame->raise();
  return frame;
}

ParamTabStrip* PanelBuilder::NewTabStrip(const StripGeometry& g) {
  // The strip's pane is a plain panel; its tabs run along the bottom edge, below
  // the page frames, as in the controller's service tool design.
  auto* pane = new QFrame(m_panels.frm_prg);
  pane->setFrameShape(QFrame::StyledPanel);

  auto* strip = new ParamTabStrip(m_panels.frm_prg);
  strip->setShape(QTabBar::RoundedSouth);
  strip->setExpanding(false);
  strip->setUsesScrollButtons(true);
  strip->setElideMode(Qt::ElideNone);
  strip->addTab(QString());
  const QRect area = m_twips.Rect(g.left, g.top, g.width, g.height);
  const int tabHeight = strip->sizeHint().height();
  strip->setGeometry(area.left(), area.bottom() + 1 - tabHeight, area.width(), tabHeight);
  pane->setGeometry(area.left(), area.top(), area.width(), area.height() - tabHeight + 2);
  return strip;
}

void PanelBuilder::BuildFormData() {
  PanelSet& p = m_panels;
  QWidget* prg = p.frm_prg;

  p.TabStrip_fun = NewTabStrip(kStripFun);
  p.TabStrip_psa = NewTabStrip(kStripPsa);
  p.TabStrip_din = NewTabStrip(kStripDin);
  p.TabStrip_logic = NewTabStrip(kStripLogic);
  p.TabStrip_prs = NewTabStrip(kStripPrs);

  // Function pages, slots 0..88.
  for (std::size_t t = 0; t < p.frm_fun.size(); ++t) {
    p.frm_fun[t] = NewFrame(prg, params::kFunctionPages[t].FrameCaption(), kFunPageLeft, kFunPageTop, kFunPageWidth,
                            kFunPageHeight);
    BuildFunctionPage(p.frm_fun[t], params::kFunctionPages[t]);
  }

  // Header strips above the channel screens and the input screens.
  const int left = Qt::AlignLeft | Qt::AlignVCenter;
  const int centre = Qt::AlignCenter;
  p.Frame1 = new QWidget(prg);
  p.Frame1->setGeometry(m_twips.Rect(7320, 600, 10695, 360));
  NewLabel(p.Frame1, QStringLiteral(u"Канал"), 120, 60, 600, 255, left);
  for (std::size_t j = 0; j < kChannelColumns.size(); ++j) {
    const Column& c = kChannelColumns[j];
    p.lblc_ch[j] = NewLabel(p.Frame1, params::ChannelColumnName(static_cast<int>(j)), c.left, 60, c.width, 255, centre);
  }
  p.Frame2 = new QWidget(prg);
  p.Frame2->setGeometry(m_twips.Rect(7320, 5160, 5175, 480));
  NewLabel(p.Frame2, QStringLiteral(u"Канал"), 60, 180, 540, 255, left);
  for (std::size_t j = 0; j < kInputColumns.size(); ++j) {
    const Column& c = kInputColumns[j];
    p.lblc_din[j] = NewLabel(p.Frame2, params::InputColumnName(static_cast<int>(j)), c.left, 180, c.width, 255, centre);
  }

  const QString dash = QStringLiteral(u"-");
  const int right = Qt::AlignRight | Qt::AlignVCenter;

  // The first element of each generated array; their boxes come with all
  // the others, in slot order (BuildBoxes).
  p.frm_psa[0] = NewFrame(prg, QString(), 7440, 960, 10815, 3375);
  p.lblc_ch_n[0] = NewLabel(p.frm_psa[0], dash, kRowLabelLeft, kTableRowTop, kRowLabelWidth, kRowHeight, right);

  p.frm_din[0] = NewFrame(prg, QString(), 7320, 5640, 5175, 3255);
  p.lblc_din_n[0] = NewLabel(p.frm_din[0], dash, kRowLabelLeft, kTableRowTop, kRowLabelWidth, kRowHeight, right);

  // Logic blocks: the first majority block and the two NOT blocks.
  p.frm_logic[0] = NewFrame(prg, QString(), 12840, 5160, 5775, 1335);
  p.lblc_lm[0] = NewLabel(p.frm_logic[0], QStringLiteral(u"из 8"), 720, kLogicTop, 735, kRowHeight, left);
  for (std::size_t n = params::kMajorityBlocks; n < params::kLogicPages; ++n) {
    p.frm_logic[n] = NewFrame(prg, QString(), 12840, 5160, 5775, 1335);
    NewLabel(p.frm_logic[n], QStringLiteral(u"Входы"), 360, kLogicTop, 1200, kRowHeight, left);
    NewLabel(p.frm_logic[n], QStringLiteral(u"Выходы"), 360, kNotOutTop, 1200, kNotOutHeight, left);
  }
  p.lbl_notout[0] = NewLabel(p.frm_logic[params::kMajorityBlocks], dash, kLogicInputLeft, kNotOutTop, kLogicBoxWidth,
                             kNotOutHeight, centre);

  // Relay outputs.
  p.frm_prs[0] = NewFrame(prg, QStringLiteral(u"Релейные выходы"), 12840, 7440, 5775, 1455);
  p.lblc_dout[0] = NewLabel(p.frm_prs[0], QStringLiteral(u"1"), kRelayLabelLeft, kRelayLabelTop, kRelayLabelWidth,
                            kRelayLabelHeight, centre);

  // The pages lie over their strips' panes; the strips' tabs stay reachable.
  for (ParamTabStrip* strip : {p.TabStrip_fun, p.TabStrip_psa, p.TabStrip_din, p.TabStrip_logic, p.TabStrip_prs}) {
    strip->raise();
  }
  p.Frame1->raise();
  p.Frame2->raise();
}

void PanelBuilder::BuildFunctionPage(QGroupBox* page, const params::FunctionPage& content) {
  const int left = Qt::AlignLeft | Qt::AlignVCenter;
  int top = kFunRowTop;
  QString header;
  for (const params::FunctionRow& row : content.rows) {
    if (!row.columnHeader.empty()) {
      // The header takes its own line; its words go over the boxes of the
      // row below once their places are known.
      header = row.ColumnHeader();
      top += kFunRowStep;
    }
    const int count = row.BoxCount();
    if (count == 0) {
      // A footnote: one line across the page.
      QLabel* note = NewLabel(page, row.Caption(), kFunCaptionLeft, top, kFunPageWidth - 2 * kFunCaptionLeft,
                              kRowHeight, left);
      note->setWordWrap(true);
      top += kFunRowStep;
      continue;
    }
    // One box: 1215; two: 600 each with a small gap; three: see kFunTripleMaxWidth.
    int width = count == 1 ? kFunBoxArea : 600;
    int boxLeft = kFunBoxLeft;
    int captionWidth = kFunCaptionWidth;
    if (count == 3) {
      const int captionEnd = kFunCaptionLeft + m_twips.Twips(page->fontMetrics().horizontalAdvance(row.Caption()));
      const int area = kFunBoxLeft + kFunBoxArea - captionEnd - kFunCaptionGap;
      width = std::clamp((area - 2 * kFunTripleGap) / 3, kFunTripleMinWidth, kFunTripleMaxWidth);
      boxLeft = kFunBoxLeft + kFunBoxArea - 3 * width - 2 * kFunTripleGap;
      captionWidth = boxLeft - kFunCaptionGap - kFunCaptionLeft;
    }
    const int step = count == 2 ? kFunBoxArea - width : width + kFunTripleGap;
    NewLabel(page, row.Caption(), kFunCaptionLeft, top, captionWidth, kRowHeight, left);
    if (!header.isEmpty()) {
      BuildColumnHeader(page, header, boxLeft, width, step, top - kFunRowStep, count);
      header.clear();
    }
    // Where the row's boxes go; BuildBoxes makes them.
    for (int b = 0; b < count; ++b) {
      m_functionBoxes[static_cast<std::size_t>(row.boxes[static_cast<std::size_t>(b)])] =
          m_twips.Rect(boxLeft + b * step, top, width, kRowHeight);
    }
    top += kFunRowStep;
  }
}

void PanelBuilder::BuildColumnHeader(QGroupBox* page, const QString& header, int boxLeft, int boxWidth, int boxStep,
                                     int top, int count) {
  // The design spaced the words with blanks to stand over the boxes in its
  // own font; here each word (runs of two or more blanks separate them, so
  // "на старте" stays one) gets a label centred over its box instead.
  static const QRegularExpression kGap(QStringLiteral(u"\\s{2,}"));
  const QStringList words = header.trimmed().split(kGap, Qt::SkipEmptyParts);
  // A word may take the gap beside its box, or two lines; the words of one
  // header share one font.
  const int gap = boxStep - boxWidth;
  std::vector<QLabel*> labels;
  for (int b = 0; b < count && b < words.size(); ++b) {
    QLabel* label = NewLabel(page, words[b], boxLeft + b * boxStep - gap / 2, top, boxStep, kRowHeight,
                             Qt::AlignHCenter | Qt::AlignBottom);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    labels.push_back(label);
  }
  ParamTextFit::FitLabels(labels);
}

void PanelBuilder::BuildTableScreens(params::PageGroup group) {
  PanelSet& p = m_panels;
  const bool channels = group == params::PageGroup::channel;
  const std::span<QGroupBox*> frames = channels ? std::span<QGroupBox*>(p.frm_psa) : std::span<QGroupBox*>(p.frm_din);
  const std::span<QLabel*> rowLabels = channels ? std::span<QLabel*>(p.lblc_ch_n) : std::span<QLabel*>(p.lblc_din_n);
  ParamTabStrip* strip = channels ? p.TabStrip_psa : p.TabStrip_din;
  const int right = Qt::AlignRight | Qt::AlignVCenter;

  strip->setTabText(0, params::TabCaption({group, 0}));
  rowLabels[0]->setText(Num(1));
  int n = 0;
  for (int s = 0; s < static_cast<int>(frames.size()); ++s) {
    if (s > 0) {
      frames[static_cast<std::size_t>(s)] = LoadFrame(frames[0]);
      strip->addTab(params::TabCaption({group, s}));
    }
    for (int r = s == 0 ? 1 : 0; r < params::kRowsPerScreen; ++r) {
      QLabel* label = NewLabel(frames[static_cast<std::size_t>(s)], QString(), kRowLabelLeft, TableRowTop(r),
                               kRowLabelWidth, kRowHeight, right);
      rowLabels[static_cast<std::size_t>(++n)] = label;
      ShowOnTop(label);
      label->setText(Num(params::kRowsPerScreen * s + r + 1));
    }
  }
  frames[0]->setVisible(true);
}

void PanelBuilder::BuildChannelPages() { BuildTableScreens(params::PageGroup::channel); }

void PanelBuilder::BuildInputPages() { BuildTableScreens(params::PageGroup::input); }

void PanelBuilder::BuildLogicPages() {
  PanelSet& p = m_panels;
  const int centre = Qt::AlignCenter;
  auto majorityCaption = [](int block) {
    return QStringLiteral(u"Логический блок мажоритарный М") + Num(block + 1) + QStringLiteral(u". Выход ") +
           Num(block + 70);
  };

  p.TabStrip_logic->setTabText(0, params::TabCaption({params::PageGroup::logic, 0}));
  p.frm_logic[0]->setTitle(majorityCaption(0));

  const QLabel* lm0 = p.lblc_lm[0];
  for (int b = 1; b < params::kMajorityBlocks; ++b) {
    p.TabStrip_logic->addTab(params::TabCaption({params::PageGroup::logic, b}));
    QGroupBox* frame = LoadFrame(p.frm_logic[0]);
    p.frm_logic[static_cast<std::size_t>(b)] = frame;
    frame->setTitle(majorityCaption(b));
    auto* lm = new QLabel(lm0->text(), frame);
    lm->setAlignment(lm0->alignment());
    lm->setGeometry(lm0->geometry());
    p.lblc_lm[static_cast<std::size_t>(b)] = lm;
    ShowOnTop(lm);
  }

  int m = 0;
  for (int n = 0; n < params::kNotBlocks; ++n) {
    const int page = params::kMajorityBlocks + n;
    p.TabStrip_logic->addTab(params::TabCaption({params::PageGroup::logic, page}));
    QGroupBox* frame = p.frm_logic[static_cast<std::size_t>(page)];
    frame->setVisible(false);
    frame->setTitle(QStringLiteral(u"Логический блок Н") + Num(n + 1) + QStringLiteral(u" (8НЕ8)."));
    for (int k = 0; k < params::kNotInputs; ++k) {
      if (n == 0 && k == 0) continue;  // the form's own element 0
      QLabel* out = NewLabel(frame, QString(), kLogicInputLeft + kLogicBoxWidth * k, kNotOutTop, kLogicBoxWidth,
                             kNotOutHeight, centre);
      p.lbl_notout[static_cast<std::size_t>(++m)] = out;
      ShowOnTop(out);
    }
  }
  for (std::size_t out = 0; out < p.lbl_notout.size(); ++out) {
    p.lbl_notout[out]->setText(Num(85 + static_cast<int>(out)));
  }
  p.frm_logic[0]->setVisible(true);
}

void PanelBuilder::BuildRelayPages() {
  PanelSet& p = m_panels;
  const int centre = Qt::AlignCenter;
  auto pageCaption = [](int b) {
    return QStringLiteral(u"Релейные выходы с ") + Num(8 * b + 1) + QStringLiteral(u" по ") + Num(8 * b + 8);
  };

  p.TabStrip_prs->setTabText(0, params::TabCaption({params::PageGroup::relay, 0}));
  p.frm_prs[0]->setTitle(pageCaption(0));
  int n = 0;
  for (int b = 0; b < params::kRelayPages; ++b) {
    QGroupBox* frame = p.frm_prs[0];
    if (b > 0) {
      p.TabStrip_prs->addTab(params::TabCaption({params::PageGroup::relay, b}));
      frame = LoadFrame(p.frm_prs[0]);
      p.frm_prs[static_cast<std::size_t>(b)] = frame;
      frame->setTitle(pageCaption(b));
    }
    for (int j = b == 0 ? 1 : 0; j < params::kRelaysPerPage; ++j) {
      QLabel* label = NewLabel(frame, QString(), kRelayLabelLeft + j * kRelayLabelWidth, kRelayLabelTop,
                               kRelayLabelWidth, kRelayLabelHeight, centre);
      p.lblc_dout[static_cast<std::size_t>(++n)] = label;
      ShowOnTop(label);
      label->setText(Num(n + 1));
    }
  }
  p.frm_prs[0]->setVisible(true);
}

void PanelBuilder::SetFunctionTabs() {
  PanelSet& p = m_panels;
  for (int t = 1; t < params::kFunctionPageCount; ++t) p.TabStrip_fun->addTab(QString());
  for (int t = 0; t < params::kFunctionPageCount; ++t)
    p.TabStrip_fun->setTabText(t, params::TabCaption({params::PageGroup::function, t}));
  p.frm_fun[0]->setVisible(true);
}

QWidget* PanelBuilder::PageOf(const params::SlotPlace& place) const {
  const PanelSet& p = m_panels;
  const auto page = static_cast<std::size_t>(place.page);
  switch (place.group) {
    case params::PageGroup::function: return p.frm_fun[page];
    case params::PageGroup::channel: return p.frm_psa[page];
    case params::PageGroup::logic: return p.frm_logic[page];
    case params::PageGroup::relay: return p.frm_prs[page];
    case params::PageGroup::input: return p.frm_din[page];
  }
  return nullptr;
}

QRect PanelBuilder::BoxRect(int slot, const params::SlotPlace& place) const {
  switch (place.group) {
    case params::PageGroup::function:
      return m_functionBoxes[static_cast<std::size_t>(slot)];
    case params::PageGroup::channel:
    case params::PageGroup::input: {
      const bool channel = place.group == params::PageGroup::channel;
      if (place.column == 0) {
        // 12-byte names take the wide box; channel rows 5-8 hold 4-byte names.
        const int width = channel && place.row >= 4 ? kNarrowName : kWideName;
        return m_twips.Rect(kTableNameLeft, TableRowTop(place.row), width, kRowHeight);
      }
      const Column& c = channel ? kChannelColumns[place.column] : kInputColumns[place.column];
      return m_twips.Rect(c.left, TableRowTop(place.row), c.width, kRowHeight);
    }
    case params::PageGroup::logic: {
      const bool majority = place.page < params::kMajorityBlocks;
      const int left = majority ? (place.column == 0 ? kLogicThresholdLeft : kLogicInputLeft + kLogicBoxWidth * (place.column - 1))
                                : kLogicInputLeft + kLogicBoxWidth * place.column;
      return m_twips.Rect(left, kLogicTop, kLogicBoxWidth, kRowHeight);
    }
    case params::PageGroup::relay:
      return m_twips.Rect(kRelayBoxLeft + place.column * kRelayBoxWidth, kRelayBoxTop, kRelayBoxWidth, kRowHeight);
  }
  return QRect();
}

void PanelBuilder::BuildBoxes() {
  // Every box in slot order, from the catalogue: its page and its place
  // there; the factory gives it the text the set holds for it.
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    const params::SlotPlace& place = params::kCatalogue.PlaceOf(slot);
    ParamBox* box = m_makeBox(slot, PageOf(place));
    box->setGeometry(BoxRect(slot, place));
    m_panels.txt_par[static_cast<std::size_t>(slot)] = box;
    ShowOnTop(box);
  }
}

void PanelBuilder::FitTexts() {
  PanelSet& p = m_panels;
  for (ParamTabStrip* strip : {p.TabStrip_fun, p.TabStrip_psa, p.TabStrip_din, p.TabStrip_logic, p.TabStrip_prs}) {
    strip->FitCaptions();
  }
  // Captions and column words of the function pages, each on its own; the
  // column headers of a table as one group, so that they keep one look.
  for (QGroupBox* page : p.frm_fun) {
    for (QLabel* label : page->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      if (label->alignment() & Qt::AlignBottom) continue;  // column words, fitted by header
      ParamTextFit::FitLabels(std::span<QLabel* const>(&label, 1));
    }
  }
  ParamTextFit::FitLabels(p.lblc_ch);
  ParamTextFit::FitLabels(p.lblc_din);
}

}  // namespace zart::ui
