#include "ui/param_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QToolButton>

#include "params/box_colors.h"
#include "params/conversions.h"
#include "params/slot_names.h"
#include "ui/file_chooser.h"
#include "ui/panel_builder.h"
#include "ui/param_button.h"
#include "ui/param_keyboard_order.h"
#include "ui/param_resize.h"
#include "ui/param_tab_strip.h"
#include "ui/param_text_fit.h"

namespace zart::ui {
namespace {

constexpr int kFrameWidth = 27135;  // frm_prg
constexpr int kFrameHeight = 9975;
// The design's texts were fitted to a narrow 8 pt system font; a common
// Linux sans font needs a little less to fit the same twips.
constexpr double kFontPoints = 7.5;

// The legend, top to bottom: where each swatch stands and its colour; the
// captions are the colours' own (params::ColorCaption).
struct LegendRow {
  int top;
  int shape;  // Shape1..Shape7
  params::SlotState state;
};
constexpr std::array<LegendRow, 7> kLegend{{
    {840, 1, params::SlotState::from_eeprom},
    {1200, 7, params::SlotState::not_read},
    {1800, 2, params::SlotState::from_file},
    {2160, 6, params::SlotState::missing_in_file},
    {2760, 4, params::SlotState::matches_file},
    {3240, 5, params::SlotState::differs_from_file},
    {3840, 3, params::SlotState::changed},
}};

constexpr std::array<const char16_t*, 18> kSensorTypes{
    u"0 - отключен",
    u"1 - Pt1000  (-200 ... +850 °C)",
    u"2 - ТХА(К)  (-200 ... +1360 °C)",
    u"3 - 4-20 мА   (0 ... +700 °C)",
    u"4 - 4-20 мА   (0 ... 2,5 бар)",
    u"5 - 4-20 мА   (0 ... 4 бар)",
    u"6 - 4-20 мА   (0 ... 7 бар)",
    u"7 - 4-20 мА   (0 ... 10 бар)",
    u"8 - 4-20 мА   (0 ... 30 бар)",
    u"9 - 4-20 мА   (0 ... 40 бар)",
    u"10 - Дискретный НР",
    u"11 - Дискретный НЗ",
    u"12 - 4-20 мА   (0 ... 100 %)",
    u"13 - 4-20 мА   (T,°C)",
    u"14 - 4-20 мА   (P, бар)",
    u"15 - внутр Т",
    u"16 - обороты/мин",
    u"17 - направление",
};
constexpr std::array<const char16_t*, 7> kControlWeights{
    u"1 - уставка по неисправности П1", u"2 - уставка по аварии включена", u"4 - останов с охлаждением",
    u"8 - останов без охлаждения",      u"16 - контроль всегда",           u"32 - уставка по неисправности П2",
    u"64 - блокировка запуска",
};

QColor Rgb(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

}  // namespace

ParamWindow::ParamWindow(QWidget* owner, const params::ParamSet& set, const QString& startFolder)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_set(set),
      m_twips(logicalDpiX()),
      m_startFolder(startFolder.isEmpty() ? QDir::homePath() : startFolder) {
  setWindowTitle(QStringLiteral(u"Программируемые параметры"));
  QFont small = font();
  small.setPointSizeF(kFontPoints);
  setFont(small);

  // Box colours go through the palette's Base role; a style that paints edit
  // boxes natively may ignore it, so the boxes then use Fusion, which does not.
  if (QApplication::style()->name().compare(QStringLiteral(u"fusion"), Qt::CaseInsensitive) != 0) {
    m_boxStyle = QStyleFactory::create(QStringLiteral(u"Fusion"));
    if (m_boxStyle != nullptr) m_boxStyle->setParent(this);
  }
  m_boxPalette = m_boxStyle != nullptr ? m_boxStyle->standardPalette() : QApplication::palette("QLineEdit");

  // The design's client area lies between a menu bar and a status line of
  // this tool's own; frm_prg and the scroll bars keep their places in it.
  m_area = new QWidget(this);
  m_panels.frm_prg = new QWidget(m_area);
  m_panels.frm_prg->setGeometry(m_twips.Rect(m_frameLeft, m_frameTop, kFrameWidth, kFrameHeight));
  m_statusLine = new QLabel(this);
  m_statusLine->setObjectName(QStringLiteral("lbl_param_status"));
  m_statusLine->setFrameShape(QFrame::Panel);
  m_statusLine->setFrameShadow(QFrame::Sunken);
  m_statusLine->setTextFormat(Qt::PlainText);

  m_vScroll = new QScrollBar(Qt::Vertical, m_area);
  m_hScroll = new QScrollBar(Qt::Horizontal, m_area);
  m_vScroll->setVisible(false);
  m_hScroll->setVisible(false);
  m_vScroll->setSingleStep(240);
  m_hScroll->setSingleStep(240);

  m_builder = std::make_unique<PanelBuilder>(m_panels, m_twips,
                                             [this](int index, QWidget* parent) { return MakeBox(index, parent); });
  m_builder->BuildFormData();
  BuildStaticControls();
  BuildMenuBar();

  // The design size: full width and height; a smaller screen gets what fits.
  const QRect screenArea = screen() != nullptr ? screen()->availableGeometry() : QRect(0, 0, 1920, 1080);
  const QSize chrome = Chrome();
  setMinimumSize(QSize(m_twips.Px(kParamMinWidth), m_twips.Px(kParamMinHeight)) + chrome);
  setMaximumSize(QSize(m_twips.Px(kParamMaxWidth), m_twips.Px(kParamMaxHeight)) + chrome);
  // A window frame is not known before the window is shown; where the
  // design's size does not fit, room is left for a usual one and the window
  // starts at the screen's corner. Form_Resize keeps it within the screen
  // once the real frame is known.
  constexpr int kFrameAllowanceX = 16;
  constexpr int kFrameAllowanceY = 48;
  const QSize design = QSize(m_twips.Px(kParamMaxWidth), m_twips.Px(kParamMaxHeight)) + chrome;
  const QSize room = screenArea.size() - QSize(kFrameAllowanceX, kFrameAllowanceY);
  resize(design.boundedTo(room));
  if (design.width() > room.width() || design.height() > room.height()) move(screenArea.topLeft());

  // A control that takes the focus (Tab, Shift+Tab, a key) is scrolled
  // into view: the design's frame is larger than most screens.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now != nullptr && m_panels.frm_prg->isAncestorOf(now)) ScrollIntoView(now);
  });
}

ParamWindow::~ParamWindow() = default;

ParamBox* ParamWindow::MakeBox(int index, QWidget* parent) {
  auto* box = new ParamBox(index, m_set.Text(index), *this, parent);
  if (m_boxStyle != nullptr) box->setStyle(m_boxStyle);
  return box;
}

QLabel* ParamWindow::AddLabel(const QString& text, int left, int top, int width, int height) {
  auto* label = new QLabel(text, m_panels.frm_prg);
  label->setGeometry(m_twips.Rect(left, top, width, height));
  return label;
}

QSize ParamWindow::Chrome() const {
  return QSize(0, m_menuBar->sizeHint().height() + m_statusLine->sizeHint().height());
}

void ParamWindow::Run(const std::function<void()>& action) const {
  if (action) action();
}

void ParamWindow::RunOnFile(const std::function<void(const QString&, const QString&)>& action) const {
  if (action) action(m_chooser->CurrentFolder(), m_chooser->FileName());
}

void ParamWindow::BuildMenuBar() {
  // The main actions at hand whatever part of frm_prg is scrolled into
  // view, with keys of their own; the design's buttons stay where they are.
  m_menuBar = new QMenuBar(this);
  QMenu* params = m_menuBar->addMenu(QStringLiteral(u"&Параметры"));
  auto add = [this, params](const char16_t* text, const QKeySequence& keys, std::function<void()> run) {
    QAction* action = params->addAction(QString::fromUtf16(text));
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, std::move(run));
    addAction(action);
    return action;
  };
  add(u"Прочитать всё из ЭСППЗУ", QKeySequence(Qt::CTRL | Qt::Key_R), [this] { m_readAll->click(); });
  add(u"Записать всё в ЭСППЗУ", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W), [this] { m_writeAll->click(); });
  params->addSeparator();
  add(u"Прочитать из файла", QKeySequence(Qt::CTRL | Qt::Key_O), [this] { m_readFile->click(); });
  add(u"Сохранить в файл", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { m_saveFile->click(); });
  add(u"Сравнить с файлом", QKeySequence(Qt::CTRL | Qt::Key_D), [this] { m_compare->click(); });
  params->addSeparator();
  m_abortAction = add(u"Прервать передачу", QKeySequence(Qt::CTRL | Qt::Key_Period), [this] { Run(m_actions.abort); });
  m_abortAction->setEnabled(false);
  QMenu* service = m_service->menu();
  service->setTitle(QStringLiteral(u"&Сервис"));
  m_menuBar->addMenu(service);
}

void ParamWindow::BuildStaticControls() {
  QWidget* prg = m_panels.frm_prg;

  // Label1: what the "Тип" and "Код упр." columns mean. They reach to where
  // the file chooser begins; where a line would not fit there, the whole
  // legend takes a narrower font, so that "…П2" is never cut to "…П" and
  // the lines keep one look.
  constexpr int kLegendRight = 21720;  // Drive2, Dir2
  std::vector<QLabel*> legend;
  legend.push_back(AddLabel(QStringLiteral(u"Коды типов датчиков"), 18840, 480, kLegendRight - 18840, 255));
  for (std::size_t k = 0; k < kSensorTypes.size(); ++k) {
    legend.push_back(AddLabel(QString::fromUtf16(kSensorTypes[k]), 19080, 780 + 300 * static_cast<int>(k),
                              kLegendRight - 19080, 255));
  }
  legend.push_back(
      AddLabel(QStringLiteral(u"Десятичные веса кода управления:"), 18840, 6240, kLegendRight - 18840, 255));
  for (std::size_t k = 0; k < kControlWeights.size(); ++k) {
    legend.push_back(AddLabel(QString::fromUtf16(kControlWeights[k]), 19080, 6540 + 300 * static_cast<int>(k),
                              kLegendRight - 19080, 255));
  }
  ParamTextFit::FitLabels(legend);
  // Two more weights lie on the frame's bottom edge and are cut off by it;
  // the control-code slots are one byte wide, so they cannot apply anyway.
  AddLabel(QStringLiteral(u"256 - Не нейтр."), 19080, 9960, 2800, 255);
  AddLabel(QStringLiteral(u"512 - Осн. пит."), 19080, 10200, 2800, 255);

  // Legend of the box colours.
  AddLabel(QStringLiteral(u"Легенда"), 22440, 480, 1500, 255);
  for (std::size_t k = 0; k < kLegend.size(); ++k) {
    const LegendRow& row = kLegend[k];
    auto* shape = new QFrame(prg);
    shape->setFrameShape(QFrame::Box);
    shape->setAutoFillBackground(true);
    shape->setGeometry(m_twips.Rect(21960, row.top, 495, 255));
    m_shapes[static_cast<std::size_t>(row.shape - 1)] = shape;
    // The last caption stops short of "Прочитать из файла" beside it.
    // A caption may wrap down to the next row.
    const int width = row.top >= 3840 ? 840 : 2100;
    const int height = k + 1 < kLegend.size() ? kLegend[k + 1].top - row.top : 480;
    QLabel* caption = AddLabel(QString::fromUtf16(params::StateCaption(row.state)), 22560, row.top, width, height);
    caption->setWordWrap(true);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ParamTextFit::FitLabels(std::span<QLabel* const>(&caption, 1));
  }

  auto button = [this, prg](const char16_t* text, int left, int top, int width, int height) {
    auto* b = new ParamButton(QString::fromUtf16(text), prg);
    b->setGeometry(m_twips.Rect(left, top, width, height));
    return b;
  };
  m_readAll = button(u"Прочитать всё из ЭСППЗУ", 24720, 1800, 2175, 615);
  m_writeAll = button(u"Записать всё в ЭСППЗУ", 24720, 2520, 2175, 615);
  m_compare = button(u"Сравнить с файлом", 25200, 3480, 1695, 615);
  m_readFile = button(u"Прочитать из файла", 23400, 3840, 1695, 615);
  m_saveFile = button(u"Сохранить в файл", 25200, 4320, 1695, 615);

  // A transfer holds the link for some 13 s; the bar tells how far it got,
  // and "Прервать" beside it stops it.
  m_progress = new QProgressBar(prg);
  m_progress->setGeometry(m_twips.Rect(24720, 3150, 1335, 300));
  m_progress->setFormat(QStringLiteral(u"%v / %m"));
  m_progress->setAlignment(Qt::AlignCenter);
  m_progress->setVisible(false);
  m_abort = new QPushButton(QStringLiteral(u"Прервать"), prg);
  m_abort->setObjectName(QStringLiteral("cmd_abort"));
  m_abort->setGeometry(m_twips.Rect(26085, 3150, 810, 300));
  m_abort->setVisible(false);

  BuildServiceButton();

  m_chooser = new FileChooser(prg, m_twips, {m_saveFile, m_readFile, m_compare}, m_startFolder);
  // The pattern box turns red for a pattern the list refuses; like the
  // parameter boxes it needs a style that paints the palette's Base.
  if (m_boxStyle != nullptr) m_chooser->Text2()->setStyle(m_boxStyle);

  m_banner = new QLabel(QStringLiteral(u"Управление по Modbus заблокировано в ЩМКР.540"), prg);
  // The label reaches below frm_prg's bottom edge (8880 + 1335 > 9975); it
  // is kept to the part that can be seen, and its 24 pt text is made smaller
  // when this screen's font would not fit there, so the warning stays whole.
  m_banner->setGeometry(m_twips.Rect(19680, 8880, 7335, kFrameHeight - 8880));
  m_banner->setAlignment(Qt::AlignCenter);
  m_banner->setWordWrap(true);
  QFont bannerFont = m_banner->font();
  bannerFont.setBold(true);
  for (int points = 24; points >= 8; --points) {
    bannerFont.setPointSize(points);
    const QRect needed = QFontMetrics(bannerFont).boundingRect(QRect(0, 0, m_banner->width(), 0),
                                                                Qt::AlignCenter | Qt::TextWordWrap, m_banner->text());
    if (needed.height() <= m_banner->height() && needed.width() <= m_banner->width()) break;
  }
  m_banner->setFont(bannerFont);
  QPalette bannerPalette = m_banner->palette();
  bannerPalette.setColor(QPalette::WindowText, QColor(255, 0, 0));
  m_banner->setPalette(bannerPalette);
  m_banner->setVisible(false);
}

void ParamWindow::BuildServiceButton() {
  // Beside the design's controls, in the free corner right of the legend
  // and above "Прочитать всё из ЭСППЗУ": it moves and covers nothing.
  m_service = new QToolButton(m_panels.frm_prg);
  m_service->setText(QStringLiteral(u"Сервис"));
  m_service->setPopupMode(QToolButton::InstantPopup);
  m_service->setGeometry(m_twips.Rect(24720, 480, 2175, 375));
  auto* menu = new QMenu(m_service);
  auto add = [this, menu](const char16_t* text, std::function<void()> Actions::*action) {
    connect(menu->addAction(QString::fromUtf16(text)), &QAction::triggered, this, [this, action] {
      if (m_actions.*action) (m_actions.*action)();
    });
  };
  add(u"Список отличий", &Actions::showDifferences);
  add(u"Сравнить два файла…", &Actions::compareFiles);
  add(u"Отчёт…", &Actions::report);
  add(u"Папка резервных копий", &Actions::backupFolder);
  menu->addSeparator();
  m_serviceInfo = menu->addAction(QString());
  m_serviceInfo->setEnabled(false);
  m_serviceInfo->setVisible(false);
  m_service->setMenu(menu);
}

void ParamWindow::SetServiceInfo(const QString& info) {
  m_serviceInfo->setText(info.section(u'\n', 1, -1));
  m_serviceInfo->setVisible(!info.isEmpty());
  m_service->setToolTip(info);
}

QTabBar* ParamWindow::StripOf(params::PageGroup group) const {
  switch (group) {
    case params::PageGroup::function:
      return m_panels.TabStrip_fun;
    case params::PageGroup::channel:
      return m_panels.TabStrip_psa;
    case params::PageGroup::logic:
      return m_panels.TabStrip_logic;
    case params::PageGroup::relay:
      return m_panels.TabStrip_prs;
    case params::PageGroup::input:
      return m_panels.TabStrip_din;
  }
  return nullptr;
}

void ParamWindow::MarkTabs(const std::vector<params::PageRef>& pages) {
  for (params::PageGroup group : {params::PageGroup::function, params::PageGroup::channel, params::PageGroup::logic,
                                  params::PageGroup::relay, params::PageGroup::input}) {
    QTabBar* strip = StripOf(group);
    if (strip == nullptr) continue;
    for (int t = 0; t < strip->count(); ++t) {
      const params::PageRef page{group, t};
      const bool marked = std::find(pages.begin(), pages.end(), page) != pages.end();
      const QString text = params::TabCaption(page) + (marked ? QStringLiteral(u" •") : QString());
      if (strip->tabText(t) != text) strip->setTabText(t, text);
    }
  }
}

void ParamWindow::ShowSlot(int slot) {
  if (slot < 0 || slot >= params::kSlotCount) return;
  const params::PageRef page = params::kCatalogue.PageOf(slot);
  ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(slot)];
  if (QTabBar* strip = StripOf(page.group); strip != nullptr && page.index < strip->count()) {
    strip->setCurrentIndex(page.index);  // the click handler switches the page
  }
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (box == nullptr) return;
  ScrollIntoView(box);
  box->setFocus(Qt::OtherFocusReason);
  box->selectAll();
}

void ParamWindow::ScrollIntoView(QWidget* control) {
  // Scroll frm_prg so that the whole control lies in the visible part: a
  // larger scroll value moves the frame left (up).
  const QPoint at = control->mapTo(m_area, QPoint(0, 0));
  const int visibleWidth = m_area->width() - (m_vScroll->isVisible() ? m_vScroll->width() : 0);
  const int visibleHeight = m_area->height() - (m_hScroll->isVisible() ? m_hScroll->height() : 0);
  auto shift = [](int start, int length, int visible) {
    if (start < 0) return start;
    if (start + length > visible) return std::min(start, start + length - visible);
    return 0;
  };
  const int dx = shift(at.x(), control->width(), visibleWidth);
  const int dy = shift(at.y(), control->height(), visibleHeight);
  if (dx != 0 && m_hScroll->isVisible()) m_hScroll->setValue(m_hScroll->value() + m_twips.Twips(dx));
  if (dy != 0 && m_vScroll->isVisible()) m_vScroll->setValue(m_vScroll->value() + m_twips.Twips(dy));
}

void ParamWindow::Form_Load() {
  if (m_loaded) return;
  m_loaded = true;

  for (const LegendRow& row : kLegend) {
    QFrame* shape = m_shapes[static_cast<std::size_t>(row.shape - 1)];
    QPalette palette = shape->palette();
    palette.setColor(QPalette::Window, Rgb(params::ColorOf(row.state)));
    shape->setPalette(palette);
  }

  PanelBuilder& builder = *m_builder;
  builder.BuildChannelPages();
  builder.BuildLogicPages();
  builder.BuildRelayPages();
  builder.BuildInputPages();
  builder.SetFunctionTabs();
  builder.BuildBoxes();
  builder.FitTexts();
  m_builder.reset();
  DescribeBoxes();
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(slot)];
    box->setPalette(PaletteFor(params::ColorOf(m_set.State(slot))));
  }
  SetKeyboardOrder();
  ConnectControls();
}

void ParamWindow::DescribeBoxes() {
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(slot)];
    if (box == nullptr) continue;
    const QString name = params::SlotName(slot);
    // A screen reader names each box by its own slot, not by its group.
    box->setAccessibleName(name);
    m_descriptions[static_cast<std::size_t>(slot)] =
        name + QLatin1Char('\n') + params::SlotPageTitle(slot) + QStringLiteral(u" · адрес ЭСППЗУ ") +
        QString::number(params::kCatalogue.par_addr[static_cast<std::size_t>(slot)]);
    DescribeBox(slot);
  }
}

void ParamWindow::DescribeBox(int slot) {
  ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(slot)];
  QString description = m_descriptions[static_cast<std::size_t>(slot)];
  // A value loaded from a file that the controller cannot take says why.
  if (m_set.State(slot) == params::SlotState::from_file && !params::kCatalogue.IsText(slot)) {
    const params::TextProblem problem = params::EncodeSlotText(slot, m_set.Text(slot)).problem;
    if (problem != params::TextProblem::none)
      description += QLatin1Char('\n') + QStringLiteral(u"Не будет записано: ") +
                     params::ProblemText(slot, m_set.Text(slot), problem);
  }
  box->SetDescription(description);
}

void ParamWindow::SetKeyboardOrder() {
  // Each strip comes before its pages, then the pages' boxes row by row;
  // Qt skips the boxes of hidden pages. The controls after them (buttons,
  // file chooser) keep their order.
  const PanelSet& p = m_panels;
  std::vector<QWidget*> chain;
  chain.reserve(params::kSlotCount + 5);
  const std::vector<int> order = ParamKeyboardOrder::TabOrder();
  auto box = [&p](int slot) -> QWidget* { return p.txt_par[static_cast<std::size_t>(slot)]; };
  chain.push_back(p.TabStrip_fun);
  using params::PageGroup;
  for (int slot : order) {
    for (PageGroup group : {PageGroup::channel, PageGroup::input, PageGroup::logic, PageGroup::relay})
      if (slot == params::ParamCatalogue::FirstSlot(group)) chain.push_back(StripOf(group));
    chain.push_back(box(slot));
  }
  for (std::size_t k = 1; k < chain.size(); ++k) QWidget::setTabOrder(chain[k - 1], chain[k]);
}

void ParamWindow::BoxMoveInColumn(int index, int step) {
  const int target = ParamKeyboardOrder::ColumnNeighbour(index, step);
  if (target < 0) return;
  ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(target)];
  if (box != nullptr && box->isVisible()) box->setFocus(Qt::TabFocusReason);
}

void ParamWindow::ConnectControls() {
  // Connected once everything is built: adding the first tab of a strip
  // would otherwise switch pages halfway through the build.
  connect(m_panels.TabStrip_fun, &QTabBar::currentChanged, this, [this] { TabStrip_fun_Click(); });
  connect(m_panels.TabStrip_psa, &QTabBar::currentChanged, this, [this] { TabStrip_psa_Click(); });
  connect(m_panels.TabStrip_din, &QTabBar::currentChanged, this, [this] { TabStrip_din_Click(); });
  connect(m_panels.TabStrip_logic, &QTabBar::currentChanged, this, [this] { TabStrip_logic_Click(); });
  connect(m_panels.TabStrip_prs, &QTabBar::currentChanged, this, [this] { TabStrip_prs_Click(); });

  connect(m_vScroll, &QScrollBar::valueChanged, this, [this](int v) { VScroll1_Change(v); });
  connect(m_hScroll, &QScrollBar::valueChanged, this, [this](int v) { HScroll1_Change(v); });

  connect(m_readAll, &QPushButton::clicked, this, [this] { Run(m_actions.readAll); });
  connect(m_writeAll, &QPushButton::clicked, this, [this] { Run(m_actions.writeAll); });
  connect(m_abort, &QPushButton::clicked, this, [this] { Run(m_actions.abort); });
  connect(m_saveFile, &QPushButton::clicked, this, [this] {
    if (m_actions.saveFile && m_actions.saveFile(m_chooser->CurrentFolder(), m_chooser->FileName())) {
      m_chooser->RefreshFiles();
    }
  });
  connect(m_readFile, &QPushButton::clicked, this, [this] { RunOnFile(m_actions.readFile); });
  connect(m_compare, &QPushButton::clicked, this, [this] { RunOnFile(m_actions.compare); });
}

void ParamWindow::SwitchPage(QTabBar* strip, std::span<QGroupBox* const> frames) {
  for (QGroupBox* frame : frames) frame->setVisible(false);
  const int selected = strip->currentIndex();  // tab position - 1
  if (selected >= 0 && selected < static_cast<int>(frames.size())) {
    frames[static_cast<std::size_t>(selected)]->setVisible(true);
  }
}

void ParamWindow::TabStrip_fun_Click() { SwitchPage(m_panels.TabStrip_fun, m_panels.frm_fun); }
void ParamWindow::TabStrip_psa_Click() { SwitchPage(m_panels.TabStrip_psa, m_panels.frm_psa); }
void ParamWindow::TabStrip_din_Click() { SwitchPage(m_panels.TabStrip_din, m_panels.frm_din); }
void ParamWindow::TabStrip_logic_Click() { SwitchPage(m_panels.TabStrip_logic, m_panels.frm_logic); }
void ParamWindow::TabStrip_prs_Click() { SwitchPage(m_panels.TabStrip_prs, m_panels.frm_prs); }

void ParamWindow::SetBlockedBanner(bool visible) { m_banner->setVisible(visible); }

void ParamWindow::ShowProgress(const params::TransferProgress& progress, bool checking) {
  const bool active = progress.active();
  m_abort->setVisible(active);
  m_abortAction->setEnabled(active);
  if (!active) {
    m_progress->setVisible(false);
    m_progress->reset();
    return;
  }
  QString format = checking ? QStringLiteral(u"Проверка записи: %v / %m") : QStringLiteral(u"%v / %m");
  if (progress.stalled) format = QStringLiteral(u"нет ответа, повтор… ") + format;
  m_progress->setFormat(format);
  m_progress->setToolTip(progress.stalled ? QStringLiteral(u"Контроллер не отвечает: запрос повторяется") : QString());
  m_progress->setRange(0, progress.total);
  m_progress->setValue(progress.answered);
  m_progress->setVisible(true);
}

void ParamWindow::ShowMessage(const QString& text) {
  m_statusLine->setText(text);
  m_statusLine->setToolTip(text);
}

QString ParamWindow::Message() const { return m_statusLine->text(); }

void ParamWindow::BoxChanged(int index) {
  // The program's own setting of a box is not the user's typing.
  if (m_showing || !m_loaded) return;
  const ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(index)];
  if (box != nullptr && m_actions.boxEdited) m_actions.boxEdited(index, box->text());
}

void ParamWindow::BoxKeyPress(int index, int key) {
  if (m_actions.boxKeyPress) m_actions.boxKeyPress(index, key);
}

QString ParamWindow::Text(int slot) const {
  if (slot < 0 || slot >= params::kSlotCount) return QString();
  const ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(slot)];
  return box != nullptr ? box->text() : QString();
}

void ParamWindow::SlotChanged(int slot) {
  if (slot < 0 || slot >= params::kSlotCount) return;
  ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(slot)];
  if (box == nullptr) return;
  const QString& text = m_set.Text(slot);
  if (box->text() != text) {
    m_showing = true;
    box->ShowValue(text);
    m_showing = false;
  }
  const QPalette& palette = PaletteFor(params::ColorOf(m_set.State(slot)));
  // One shared palette per colour: no style sheet per box, which would make
  // building and recolouring the 1208 boxes many times slower.
  if (box->palette().color(QPalette::Base) != palette.color(QPalette::Base)) box->setPalette(palette);
  DescribeBox(slot);
}

std::uint32_t ParamWindow::Color(int slot) const {
  if (slot < 0 || slot >= params::kSlotCount) return params::COLOR_CHANGED;
  const ParamBox* box = m_panels.txt_par[static_cast<std::size_t>(slot)];
  return box != nullptr ? box->palette().color(QPalette::Base).rgb() & 0xFFFFFFu : params::COLOR_CHANGED;
}

const QPalette& ParamWindow::PaletteFor(std::uint32_t rgb) {
  auto found = m_palettes.find(rgb);
  if (found == m_palettes.end()) {
    QPalette palette = m_boxPalette;
    palette.setColor(QPalette::Base, Rgb(rgb));
    found = m_palettes.insert(rgb, palette);
  }
  return found.value();
}

void ParamWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int menu = m_menuBar->sizeHint().height();
  const int status = m_statusLine->sizeHint().height();
  m_menuBar->setGeometry(0, 0, width(), menu);
  m_statusLine->setGeometry(0, height() - status, width(), status);
  m_area->setGeometry(0, menu, width(), std::max(0, height() - menu - status));
  Form_Resize();
}

void ParamWindow::closeEvent(QCloseEvent* event) {
  // The owner discards the window and its values; the next use builds a new one.
  if (m_actions.closed) m_actions.closed();
  QWidget::closeEvent(event);
}

void ParamWindow::Form_Resize() {
  if (isMinimized() || isMaximized()) return;
  // The design's rules apply to the page area, as if it were the whole
  // client area: the menu bar and the status line come on top of the
  // design's sizes, like the window's own caption.
  const QSize chrome = Chrome();
  const QSize inner = m_area->size();
  const QSize frameExtra = isVisible() ? frameGeometry().size() - size() : QSize(0, 0);
  // A window on a screen smaller than the design's size is kept on it, so
  // that both bars, and with them every control, can be reached.
  const QSize screenArea =
      isVisible() && screen() != nullptr ? screen()->availableGeometry().size() - chrome : QSize();
  if (isVisible()) {
    // The limits are for the outer size; once the frame is known the window
    // manager is told, so that dragging stops at them instead of snapping back.
    const QSize least(m_twips.Px(kParamMinWidth) - frameExtra.width(), m_twips.Px(kParamMinHeight) - frameExtra.height());
    QSize most(m_twips.Px(kParamMaxWidth) - frameExtra.width(), m_twips.Px(kParamMaxHeight) - frameExtra.height());
    if (screenArea.isValid()) most = most.boundedTo(screenArea - frameExtra).expandedTo(least);
    if (minimumSize() != least + chrome) setMinimumSize(least + chrome);
    if (maximumSize() != most + chrome) setMaximumSize(most + chrome);
  }
  const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_vScroll);
  const ParamPixelLayout out = ParamFormResizePx(m_twips, inner, frameExtra, screenArea, extent);

  m_vScroll->setVisible(out.vVisible);
  if (out.vVisible) {
    m_vScroll->setGeometry(out.vBar);
    m_vScroll->setRange(0, out.vMaximum);
    m_vScroll->setPageStep(std::max(1, m_twips.Twips(inner.height())));
    m_vScroll->raise();
  }
  m_hScroll->setVisible(out.hVisible);
  if (out.hVisible) {
    m_hScroll->setGeometry(out.hBar);
    m_hScroll->setRange(0, out.hMaximum);
    m_hScroll->setPageStep(std::max(1, m_twips.Twips(inner.width())));
    m_hScroll->raise();
  }
  // Raises the resize event again with the limited size.
  if (out.size != inner) resize(out.size + chrome);
}

void ParamWindow::HScroll1_Change(int value) {
  m_frameLeft = ParamFrameLeftForScroll(value);
  m_panels.frm_prg->move(m_twips.Px(m_frameLeft), m_twips.Px(m_frameTop));
}

void ParamWindow::VScroll1_Change(int value) {
  m_frameTop = ParamFrameTopForScroll(value);
  m_panels.frm_prg->move(m_twips.Px(m_frameLeft), m_twips.Px(m_frameTop));
}

}  // namespace zart::ui
