#include "ui/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <vector>

#include "monitor/command_codes.h"
#include "monitor/lamp_captions.h"

namespace zart::ui {
namespace {

constexpr double kLarge = 12.0;   // 12 pt
constexpr double kMedium = 9.75;  // 9.75 pt
constexpr double kDefault = 0.0;  // the window's default font

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignTop;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignTop;
constexpr Qt::Alignment kCentreMiddle = Qt::AlignCenter;

/// Client area and opening position of the window, twips.
constexpr int kClientWidth = 14160;
constexpr int kClientHeight = 8430;
constexpr int kOpenLeft = 6270;
constexpr int kOpenTop = 4455;

// Where each lamp stands and its colour when lit; the captions are the
// ones the logs and reports name lamps by.
struct LampPlace {
  int left;
  int top;
  const QColor* colour;
};

const LampPlace kLamps[monitor::StatusView::kLampCount] = {
    {1560, 1080, &kLampRed},  {1560, 1440, &kLampRed},    {1560, 1800, &kLampGreen}, {240, 1800, &kLampGreen},
    {240, 2160, &kLampYellow}, {1560, 720, &kLampYellow},  {240, 720, &kLampYellow},  {240, 720, &kLampRed},
    {240, 1080, &kLampYellow}, {240, 1440, &kLampYellow}, {1560, 2160, &kLampYellow},
};
static_assert(std::size(kLamps) == monitor::kLampCaptions.size());
constexpr int kLampWidth = 1335;
constexpr int kLampHeight = 375;
/// Lamps 6 ("Авт. зап.") and 7 ("Редуктор") share one place; until the
/// controller names its type only the generator set's lamp stands there,
/// so the two transparent captions are never drawn over each other.
/// Lamps of one object type only: "Авт. зап.", "Редуктор", "Вперед", "Назад", "Двиг. ост.".
constexpr std::array<int, 5> kTypeLamps{6, 7, 8, 9, 10};

/// Signal cell template lbl_sgl(0).
constexpr int kCellLeft = 240;
constexpr int kCellTop = 3480;
constexpr int kCellWidth = 375;
constexpr int kCellHeight = 255;
constexpr int kCellColumns = 16;

constexpr int kCommandLeft[4] = {11520, 12840, 11520, 12840};
constexpr int kCommandTop[4] = {1920, 1920, 2640, 2640};

QString Dash() { return QStringLiteral("-"); }

/// Narrow faces tried for the command buttons when a caption does not fit
/// at 12 pt in the window's face.
const char16_t* const kNarrowFaces[] = {u"Arial Narrow", u"Liberation Sans Narrow", u"Nimbus Sans Narrow"};

/// How long after the window first shows the frame the window manager adds
/// is still awaited to keep the window on the screen.
constexpr int kFrameWaitMs = 3000;

/// A command button whose keyboard focus shows plainly: Space sends the
/// command, so the user must see which button has it.
class FocusFrameButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPushButton::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    const int width = std::max(2, logicalDpiX() / 48);
    QPen pen(palette().color(QPalette::Highlight), width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const int inset = width / 2 + 2;
    painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
  }
};

// The colour a lit lamp or signal keeps while the display is stale: its own
// colour, faded towards grey.
QColor Faded(const QColor& colour) {
  return QColor((colour.red() + 2 * 192) / 3, (colour.green() + 2 * 192) / 3, (colour.blue() + 2 * 192) / 3);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      m_layout(this) {
  setObjectName(QStringLiteral("frm_main"));
  setWindowTitle(QStringLiteral(u"ЗАРТ. Тест протокола  Modbus"));
  setFont(m_layout.DefaultFont());

  m_client = new QWidget(this);
  m_client->setObjectName(QStringLiteral("client"));
  m_client->setFixedSize(m_layout.Px(kClientWidth), m_layout.Px(kClientHeight));
  setCentralWidget(m_client);

  BuildMenu();
  BuildTopLine(m_client);
  BuildLamps(m_client);
  BuildMeasurements(m_client);
  BuildCommands(m_client);
  BuildSignals(m_client);
  BuildFaults(m_client);
  BuildCounters(m_client);
  BuildBottomLine(m_client);

  // Focus order over the controls that take focus; the hidden check box
  // keeps its place between the address list and the last button.
  setTabOrder(cmd_mode[0], cmd_mode[1]);
  setTabOrder(cmd_mode[1], cmd_mode[2]);
  setTabOrder(cmd_mode[2], cmb_slad);
  setTabOrder(cmb_slad, chk_armoff);
  setTabOrder(chk_armoff, cmd_mode[3]);
  SetStale(true, NoDataNote());

  // The size is fixed: no resizing, no maximizing.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

MainWindow::~MainWindow() = default;

QLabel* MainWindow::MakeLabel(QWidget* parent, const char* name, const QString& text, QRect twips, double pointSize,
                              Qt::Alignment align, bool border) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(m_layout.Rect(twips.x(), twips.y(), twips.width(), twips.height()));
  label->setFont(pointSize > 0 ? m_layout.Font(pointSize) : m_layout.DefaultFont());
  label->setAlignment(align);
  label->setTextFormat(Qt::PlainText);
  if (border) {
    label->setFrameShape(QFrame::Box);
    label->setFrameShadow(QFrame::Plain);
    label->setLineWidth(1);
  } else if (const int line = QFontMetrics(label->font()).height(); line > label->height()) {
    // A 12 pt face other than the original one can be taller than the line
    // laid out for it; the label then grows downwards so that no letter is
    // cut. It has no border or background, so nothing else changes.
    label->resize(label->width(), line);
  }
  return label;
}

void MainWindow::BuildMenu() {
  mnu_param = menuBar()->addAction(QStringLiteral(u"&Программируемые параметры"));
  mnu_param->setObjectName(QStringLiteral("mnu_param"));
  mnu_settings = menuBar()->addAction(QStringLiteral(u"&Настройка порта"));
  mnu_settings->setObjectName(QStringLiteral("mnu_settings"));
  connect(mnu_param, &QAction::triggered, this, &MainWindow::paramMenuTriggered);
  connect(mnu_settings, &QAction::triggered, this, &MainWindow::portMenuTriggered);
  BuildServiceMenu();
}

void MainWindow::BuildTopLine(QWidget* client) {
  using monitor::ValueLabel;
  MakeLabel(client, "lblc_object", QStringLiteral(u"Тип объекта:"), {240, 120, 1935, 255}, kLarge, kRight);
  m_values[static_cast<int>(ValueLabel::lbl_object)] =
      MakeLabel(client, "lbl_object", Dash(), {2280, 120, 1215, 255}, kLarge, kCentre);
  MakeLabel(client, "lblc_pr_ver", QStringLiteral(u"Версия протокола:"), {3960, 120, 2775, 255}, kMedium, kRight);
  m_values[static_cast<int>(ValueLabel::lbl_pr_ver)] =
      MakeLabel(client, "lbl_pr_ver", Dash(), {6840, 120, 1455, 255}, kMedium, kLeft);
  MakeLabel(client, "lblc_sw_ver", QStringLiteral(u"Версия ПО:"), {8880, 120, 1695, 255}, kMedium, kRight);
  m_values[static_cast<int>(ValueLabel::lbl_sw_ver)] =
      MakeLabel(client, "lbl_sw_ver", Dash(), {10680, 120, 1335, 255}, kMedium, kLeft);
}

void MainWindow::BuildLamps(QWidget* client) {
  MakeLabel(client, "lbls_ind", QStringLiteral(u"Индикаторы:"), {240, 480, 1575, 255}, kMedium, kCentre);
  for (int i = 0; i < kLampCount; ++i) {
    const LampPlace& design = kLamps[i];
    QLabel* lamp = MakeLabel(client, "lbl_led", monitor::LampCaption(i),
                             {design.left, design.top, kLampWidth, kLampHeight}, kLarge, kCentreMiddle, true);
    lamp->setObjectName(QStringLiteral("lbl_led_%1").arg(i));
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Window, *design.colour);
    palette.setColor(QPalette::Disabled, QPalette::Window, Faded(*design.colour));
    lamp->setPalette(palette);
    lbl_led[static_cast<std::size_t>(i)] = lamp;
  }
  // The lamps of one object type wait until the controller says which it is.
  for (int lamp : kTypeLamps) lbl_led[static_cast<std::size_t>(lamp)]->setVisible(false);
}

void MainWindow::BuildMeasurements(QWidget* client) {
  using monitor::ValueLabel;
  auto frame = [&](const char* name, const char16_t* caption, QRect twips) {
    auto* box = new QGroupBox(QString::fromUtf16(caption), client);
    box->setObjectName(QLatin1String(name));
    box->setFont(m_layout.Font(kMedium));
    box->setGeometry(m_layout.Rect(twips.x(), twips.y(), twips.width(), twips.height()));
    StyleGroup(box);
    return box;
  };
  // Caption at top 240, value at top 600, inside each group.
  auto pair = [&](QGroupBox* box, const char* captionName, const char16_t* caption, const char* valueName,
                  int captionLeft, int captionWidth, int captionHeight, int valueLeft, int valueWidth) {
    QLabel* c = MakeLabel(box, captionName, QString::fromUtf16(caption), {captionLeft, 240, captionWidth, captionHeight},
                          kLarge, kCentre);
    QLabel* v = MakeLabel(box, valueName, Dash(), {valueLeft, 600, valueWidth, 375}, kLarge, kCentre);
    return std::pair{c, v};
  };

  QGroupBox* frame1 = frame("Frame1", u"Частота вращения, об/мин", {3120, 720, 4095, 1095});
  m_values[static_cast<int>(ValueLabel::lbl_eng_rpm)] =
      pair(frame1, "lblc_eng_rpm", u"Двигатель", "lbl_eng_rpm", 240, 2055, 615, 240, 2055).second;
  auto [propCaption, propValue] =
      pair(frame1, "lblc_prop_rpm", u"Гребной вал", "lbl_prop_rpm", 2160, 1815, 615, 2040, 1935);
  lblc_prop_rpm = propCaption;
  m_values[static_cast<int>(ValueLabel::lbl_prop_rpm)] = propValue;

  QGroupBox* frame2 = frame("Frame2", u"Температура, °C", {7320, 720, 4695, 1095});
  pair(frame2, "lblc_ct", u"ОЖ", "lbl_ct", 240, 1000, 375, 240, 1000);
  pair(frame2, "lblc_oilt", u"Масло", "lbl_oilt", 1680, 1000, 375, 1680, 1000);
  pair(frame2, "lblc_goilt", u"Масло ред.", "lbl_goilt", 3000, 1485, 375, 3000, 1005);

  QGroupBox* frame3 = frame("Frame3", u"Давление, кг/см2", {3120, 1920, 5295, 1095});
  pair(frame3, "lblc_oilp", u"Масло", "lbl_oilp", 120, 1200, 375, 120, 1200);
  pair(frame3, "lblc_goilp", u"Масло ред.", "lbl_goilp", 1320, 1500, 375, 1320, 1500);
  pair(frame3, "lblc_inp", u"ВТК", "lbl_inp", 2880, 1200, 375, 2880, 1200);
  pair(frame3, "lblc_outp", u"НТК", "lbl_outp", 3840, 1200, 375, 3840, 1200);

  MakeLabel(client, "lblc_acc", QStringLiteral(u"Аккумулятор, В"), {12120, 840, 2055, 375}, kLarge, kCentre);
  m_values[static_cast<int>(ValueLabel::lbl_acc)] =
      MakeLabel(client, "lbl_acc", Dash(), {12240, 1320, 1815, 375}, kLarge, kCentre);
}

void MainWindow::BuildCommands(QWidget* client) {
  for (int i = 0; i < 4; ++i) {
    auto* button = new FocusFrameButton(QString::fromUtf16(monitor::kCommandCaptions[i]), client);
    button->setObjectName(QStringLiteral("cmd_mode_%1").arg(i));
    button->setGeometry(m_layout.Rect(kCommandLeft[i], kCommandTop[i], 1215, 615));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, i] { emit commandClicked(i); });
    cmd_mode[static_cast<std::size_t>(i)] = button;
  }
  const QFont face = CommandFont();
  for (QPushButton* button : cmd_mode) button->setFont(face);

  chk_armoff = new QCheckBox(QStringLiteral(u"Откл. защит"), client);
  chk_armoff->setObjectName(QStringLiteral("chk_armoff"));
  chk_armoff->setGeometry(m_layout.Rect(10320, 3000, 1095, 495));
  chk_armoff->setVisible(false);
  connect(chk_armoff, &QCheckBox::toggled, this, [this](bool on) { emit protectionOffToggled(on); });

  const QString banner = QStringLiteral(u"Управление по Modbus заблокировано в ЩМКР.540");
  lbl_modbus_off = MakeLabel(client, "lbl_modbus_off", banner, {8760, 2040, 2415, 1095}, kMedium, kCentre);
  lbl_modbus_off->setFont(m_layout.Font(kMedium, true));
  // Qt would also break after the dot of "ЩМКР.540"; the banner breaks only
  // between words.
  lbl_modbus_off->setText(WrapAtBlanks(banner, QFontMetrics(lbl_modbus_off->font()), lbl_modbus_off->width()));
  lbl_modbus_off->setAccessibleName(banner);
  QPalette red = lbl_modbus_off->palette();
  red.setColor(QPalette::WindowText, kLampRed);
  lbl_modbus_off->setPalette(red);
  lbl_modbus_off->setVisible(false);
}

void MainWindow::BuildSignals(QWidget* client) {
  MakeLabel(client, "Label1", QStringLiteral(u"Сигналы"), {240, 3120, 1095, 255}, kDefault, kLeft);
  QLabel* cell = MakeLabel(client, "lbl_sgl_0", QStringLiteral("256"), {kCellLeft, kCellTop, kCellWidth, kCellHeight},
                           kDefault, kCentreMiddle, true);
  QPalette palette = cell->palette();
  palette.setColor(QPalette::Window, kLampGreen);
  palette.setColor(QPalette::Disabled, QPalette::Window, Faded(kLampGreen));
  cell->setPalette(palette);
  cell->setVisible(false);
  lbl_sgl[0] = cell;

  // Beside the grid, in the window's free middle: that the values shown are
  // not live (no reply yet, or none for a while).
  m_staleNote = MakeLabel(client, "lbl_stale", QString(), {7200, 3480, 6840, 615}, kMedium, kCentre);
  m_staleNote->setWordWrap(true);
  m_staleNote->setFont(m_layout.Font(kMedium, true));
  QPalette note = m_staleNote->palette();
  note.setColor(QPalette::WindowText, kLampRed);
  m_staleNote->setPalette(note);
}

QString MainWindow::NoDataNote() { return QStringLiteral(u"Данных от контроллера ещё нет"); }

void MainWindow::SetStale(bool stale, const QString& note) {
  m_stale = stale;
  // Greyed, lit ones faded: the last values known, not the controller's now.
  for (QLabel* value : m_values)
    if (value) value->setEnabled(!stale);
  for (QLabel* lamp : lbl_led)
    if (lamp) lamp->setEnabled(!stale);
  for (QLabel* cell : lbl_sgl)
    if (cell) cell->setEnabled(!stale);
  m_staleNote->setText(note);
  m_staleNote->setVisible(stale && !note.isEmpty());
}

void MainWindow::CreateSignalCells() {
  QLabel* tmpl = lbl_sgl[0];
  for (int i = 1; i < kSignalCount; ++i) {
    if (lbl_sgl[static_cast<std::size_t>(i)]) continue;
    const int col = (i - 1) % kCellColumns;
    const int row = (i - 1) / kCellColumns;
    auto* cell = new QLabel(QString::number(i), m_client);
    cell->setObjectName(QStringLiteral("lbl_sgl_%1").arg(i));
    cell->setGeometry(
        m_layout.Rect(kCellLeft + kCellWidth * col, kCellTop + kCellHeight * row, kCellWidth, kCellHeight));
    cell->setFont(tmpl->font());
    cell->setAlignment(tmpl->alignment());
    cell->setFrameShape(tmpl->frameShape());
    cell->setFrameShadow(tmpl->frameShadow());
    cell->setLineWidth(tmpl->lineWidth());
    cell->setPalette(tmpl->palette());
    cell->setTextFormat(Qt::PlainText);
    lbl_sgl[static_cast<std::size_t>(i)] = cell;
    // No data until the first status reply: dark and greyed, not 255 lit
    // cells that read as 255 signals on.
    m_signalLit[static_cast<std::size_t>(i)] = false;
    cell->setEnabled(!m_stale);
    cell->show();
  }
}

void MainWindow::BuildFaults(QWidget* client) {
  Frame4 = new QGroupBox(QStringLiteral(u"Аварии и неисправности"), client);
  Frame4->setObjectName(QStringLiteral("Frame4"));
  Frame4->setFont(m_layout.Font(kMedium));
  Frame4->setGeometry(m_layout.Rect(1560, 5280, 6375, 2415));
  MakeLabel(Frame4, "Label3", QStringLiteral(u"Авария     Неисправность    Внутр. неиспр."), {960, 360, 3255, 495},
            kDefault, kCentre);
  MakeLabel(Frame4, "Label4", QStringLiteral(u"Текущая"), {120, 840, 855, 375}, kDefault, kLeft);
  MakeLabel(Frame4, "Label5", QStringLiteral(u"Сохран."), {120, 1320, 855, 375}, kDefault, kLeft);
  MakeLabel(Frame4, "Label6", QStringLiteral(u"Последняя"), {120, 1800, 855, 375}, kDefault, kLeft);
  constexpr int kColumnLeft[3] = {1200, 3120, 4200};
  constexpr int kRowTop[3] = {840, 1320, 1800};
  for (int i = 0; i < kFaultCount; ++i) {
    const int column = i / 3;
    const int row = i % 3;
    const bool wide = i == 1;
    QLabel* label = MakeLabel(Frame4, "lbl_faults", wide ? QStringLiteral("0xFFFFFFFF") : Dash(),
                              {kColumnLeft[column], kRowTop[row], wide ? 975 : 615, 375}, kDefault, kLeft);
    label->setObjectName(QStringLiteral("lbl_faults_%1").arg(i));
    lbl_faults[static_cast<std::size_t>(i)] = label;
  }
  Frame4->setVisible(false);
}

void MainWindow::BuildCounters(QWidget* client) {
  using monitor::ValueLabel;
  MakeLabel(client, "lblc_adc_board_d", QStringLiteral(u"Дискр. сигналы ЩМКР.540"), {7680, 5520, 2895, 255}, kMedium,
            kRight);
  MakeLabel(client, "lbl_adc_board_d", Dash(), {10680, 5520, 1095, 255}, kMedium, kLeft);
  MakeLabel(client, "lblc_service", QStringLiteral(u"До сервисного обслуживания осталось:"), {7920, 6240, 4215, 255},
            kMedium, kRight);
  m_values[static_cast<int>(ValueLabel::lbl_service)] =
      MakeLabel(client, "lbl_service", Dash(), {12360, 6240, 1335, 255}, kMedium, kCentre);
  MakeLabel(client, "lblc_motomin", QStringLiteral(u"Общая наработка:"), {7920, 6600, 4215, 255}, kMedium, kRight);
  m_values[static_cast<int>(ValueLabel::lbl_motomin)] =
      MakeLabel(client, "lbl_motomin", Dash(), {12360, 6600, 1335, 255}, kMedium, kCentre);
  MakeLabel(client, "lblc_tr_id", QStringLiteral(u"Код транзакции:"), {10440, 7080, 1695, 255}, kMedium, kRight);
  lbl_tr_id = MakeLabel(client, "lbl_tr_id", Dash(), {12360, 7080, 1095, 255}, kMedium, kLeft);
}

void MainWindow::BuildBottomLine(QWidget* client) {
  // The rule is drawn centred in a strip a few pixels high: a strip one
  // pixel high loses its line to rounding when the screen is scaled.
  auto* line = new QFrame(client);
  line->setObjectName(QStringLiteral("Line4"));
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Plain);
  line->setLineWidth(std::max(1, (m_layout.Dpi() + 48) / 96));
  const QRect span = m_layout.Rect(120, 7800, 11880 - 120, 0);
  const int strip = std::max(3, m_layout.Px(60)) | 1;  // odd, so the line has a middle
  line->setGeometry(span.x(), span.y() - strip / 2, span.width(), strip);

  MakeLabel(client, "lblc_slad", QStringLiteral(u"Адрес устройства"), {240, 7920, 2055, 255}, kMedium, kRight);
  cmb_slad = new QComboBox(client);
  cmb_slad->setObjectName(QStringLiteral("cmb_slad"));
  cmb_slad->setGeometry(m_layout.Rect(2520, 7920, 855, 315));
  cmb_slad->setEditable(false);
  // The exchange owns the address; the list shows it and hands the user's
  // choice over.
  connect(cmb_slad, &QComboBox::activated, this, [this](int index) { emit slaveAddressChosen(index); });
  lbl_sys_mes = MakeLabel(client, "lbl_sys_mes", QString(), {3600, 7920, 7080, 315}, kDefault,
                          Qt::AlignLeft | Qt::AlignVCenter, true);
}

QPoint MainWindow::FitOnScreen(QPoint design, QSize frame, QRect screen) {
  // Right and bottom first, then left and top: a frame larger than the
  // screen keeps its menu and title reachable.
  const int x = std::max(screen.left(), std::min(design.x(), screen.right() + 1 - frame.width()));
  const int y = std::max(screen.top(), std::min(design.y(), screen.bottom() + 1 - frame.height()));
  return {x, y};
}

void MainWindow::PlaceOnScreen() {
  const QPoint design(m_layout.Px(kOpenLeft), m_layout.Px(kOpenTop));
  const QScreen* s = screen();
  if (!s) {
    move(design);
    return;
  }
  ensurePolished();
  if (layout()) layout()->activate();
  QSize frame = frameGeometry().size().expandedTo(sizeHint());
  if (!isVisible() || frameGeometry() == geometry()) {
    // The window manager's title bar and border are known only once it has
    // framed the window; until then they are guessed from the style, and
    // the guess is mended when the real frame arrives (moveEvent).
    const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, this);
    const int title = std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this),
                               QFontMetrics(font()).height() + 10);
    frame += QSize(2 * border, title + border);
  }
  move(FitOnScreen(design, frame, s->availableGeometry()));
  m_awaitFrame = true;
}

void MainWindow::KeepOnScreen() {
  const QScreen* s = screen();
  if (!s || frameGeometry() == geometry()) return;  // no frame yet
  m_awaitFrame = false;
  const QRect frame = frameGeometry();
  const QPoint fit = FitOnScreen(frame.topLeft(), frame.size(), s->availableGeometry());
  if (fit != frame.topLeft()) move(fit);
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (m_awaitFrame) KeepOnScreen();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (m_awaitFrame) KeepOnScreen();
}

QString MainWindow::WrapAtBlanks(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList lines;
  QString line;
  for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
    const QString longer = line.isEmpty() ? word : line + u' ' + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
      lines << line;
      line = word;
    } else {
      line = longer;
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines.join(u'\n');
}

void MainWindow::StyleGroup(QGroupBox* box) const {
  // As in the original window the caption stands on the top border line,
  // which runs through the middle of the caption; the captions and values
  // inside, placed from the group's top edge, then stand clear of it.
  const int half = QFontMetrics(box->font()).height() / 2;
  box->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                    " margin-top: %1px; }"
                                    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                                    " left: %2px; padding: 0 %3px; }")
                         .arg(half)
                         .arg(m_layout.Px(90))
                         .arg(std::max(2, m_layout.Px(30))));
}

QFont MainWindow::CommandFont() const {
  // "ОТКЛ. ЗАЩ" is wider in the faces found on Linux than in the original
  // one. All four buttons keep one face at 12 pt: the window's own when
  // every caption fits, else a narrow face, else the window's face set
  // narrower; only when none fits are all four set smaller alike.
  const QPushButton* button = cmd_mode[0];
  const int room = button->width() - 2 * (style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) / 2 +
                                          style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
  auto fits = [&](const QFont& font) {
    const QFontMetrics metrics(font);
    for (const QPushButton* b : cmd_mode) {
      if (metrics.horizontalAdvance(b->text()) > room) return false;
    }
    return true;
  };
  std::vector<QFont> candidates{m_layout.Font(kLarge)};
  for (const char16_t* family : kNarrowFaces) {
    QFont narrow = m_layout.Font(kLarge);
    narrow.setFamily(QString::fromUtf16(family));
    if (QFontInfo(narrow).family().compare(narrow.family(), Qt::CaseInsensitive) == 0) candidates.push_back(narrow);
  }
  for (int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
    QFont narrower = m_layout.Font(kLarge);
    narrower.setStretch(stretch);
    candidates.push_back(narrower);
  }
  for (const QFont& font : candidates) {
    if (fits(font)) return font;
  }
  QFont smaller = m_layout.Font(kLarge);
  while (!fits(smaller) && smaller.pointSizeF() > 7.0) smaller.setPointSizeF(smaller.pointSizeF() - 0.25);
  return smaller;
}

// --- link::LinkView ---------------------------------------------------------

QString MainWindow::StatusText() const { return lbl_sys_mes->text(); }

void MainWindow::SetStatusText(const QString& text) {
  if (lbl_sys_mes->text() != text) lbl_sys_mes->setText(text);
}

void MainWindow::ShowStatusNow(const QString& text) {
  SetStatusText(text);
  lbl_sys_mes->repaint();
}

int MainWindow::SlaveAddress() const { return cmb_slad->currentIndex(); }

void MainWindow::SetSlaveAddress(int address) {
  if (address >= 0 && address < cmb_slad->count()) cmb_slad->setCurrentIndex(address);
}

void MainWindow::SetTransactionId(int counter) { lbl_tr_id->setText(QString::number(counter)); }

void MainWindow::FillSlaveAddresses(int count, int selected) {
  cmb_slad->clear();
  for (int i = 0; i < count; ++i) cmb_slad->addItem(QString::number(i));
  cmb_slad->setCurrentIndex(selected);
}

// --- monitor::StatusView ----------------------------------------------------

void MainWindow::SetValueText(monitor::ValueLabel label, const QString& text) {
  QLabel* target = ValueLabelOf(label);
  if (target && target->text() != text) target->setText(text);
}

void MainWindow::SetFaultText(int index, const QString& text) {
  if (QLabel* label = FaultLabel(index); label && label->text() != text) label->setText(text);
}

void MainWindow::ShowLit(QLabel* label, bool lit) {
  // Lit: the label paints its background in its palette's Window colour;
  // dark: it paints none and the window shows through.
  label->setAutoFillBackground(lit);
  label->update();
}

void MainWindow::SetLampLit(int index, bool lit) {
  if (index < 0 || index >= kLampCount) return;
  auto& state = m_lampLit[static_cast<std::size_t>(index)];
  if (state == lit) return;
  state = lit;
  ShowLit(lbl_led[static_cast<std::size_t>(index)], lit);
}

void MainWindow::SetLampVisible(int index, bool visible) {
  if (QLabel* lamp = Lamp(index)) lamp->setVisible(visible);
}

void MainWindow::SetSignalLit(int index, bool lit) {
  if (index < 0 || index >= kSignalCount) return;
  QLabel* cell = lbl_sgl[static_cast<std::size_t>(index)];
  auto& state = m_signalLit[static_cast<std::size_t>(index)];
  if (!cell || state == lit) return;
  state = lit;
  ShowLit(cell, lit);
}

void MainWindow::SetPropSpeedVisible(bool visible) {
  lblc_prop_rpm->setVisible(visible);
  ValueLabelOf(monitor::ValueLabel::lbl_prop_rpm)->setVisible(visible);
}

void MainWindow::SetParamMenuEnabled(bool enabled) { mnu_param->setEnabled(enabled); }

void MainWindow::SetBlockedBannerVisible(bool visible) { lbl_modbus_off->setVisible(visible); }

// --- accessors ----------------------------------------------------------------

QLabel* MainWindow::ValueLabelOf(monitor::ValueLabel label) const {
  const auto i = static_cast<std::size_t>(label);
  return i < m_values.size() ? m_values[i] : nullptr;
}
QLabel* MainWindow::Lamp(int index) const {
  return index >= 0 && index < kLampCount ? lbl_led[static_cast<std::size_t>(index)] : nullptr;
}
QLabel* MainWindow::SignalCell(int index) const {
  return index >= 0 && index < kSignalCount ? lbl_sgl[static_cast<std::size_t>(index)] : nullptr;
}
QLabel* MainWindow::FaultLabel(int index) const {
  return index >= 0 && index < kFaultCount ? lbl_faults[static_cast<std::size_t>(index)] : nullptr;
}
QPushButton* MainWindow::CommandButton(int index) const {
  return index >= 0 && index < 4 ? cmd_mode[static_cast<std::size_t>(index)] : nullptr;
}
bool MainWindow::LampLit(int index) const {
  return index >= 0 && index < kLampCount && m_lampLit[static_cast<std::size_t>(index)];
}
bool MainWindow::SignalLit(int index) const {
  return index >= 0 && index < kSignalCount && m_signalLit[static_cast<std::size_t>(index)];
}

// --- events -------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!m_shownOnce) {
    m_shownOnce = true;
    cmd_mode[0]->setFocus(Qt::OtherFocusReason);
    // Without a window manager no frame ever comes; after a while a move is
    // the user's own and is left alone.
    if (m_awaitFrame) QTimer::singleShot(kFrameWaitMs, this, [this] { m_awaitFrame = false; });
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program at once; nothing is saved.
  event->accept();
  emit closing();
}

void MainWindow::BuildServiceMenu() {
  // Tools for commissioning, beside the two commands of the menu bar.
  m_serviceMenu = menuBar()->addMenu(QStringLiteral(u"&Сервис"));
  m_serviceMenu->setObjectName(QStringLiteral("mnu_service"));
  QAction* monitor = m_serviceMenu->addAction(QStringLiteral(u"&Монитор обмена"));
  QAction* trends = m_serviceMenu->addAction(QStringLiteral(u"&Графики"));
  m_csvLogAction = m_serviceMenu->addAction(QStringLiteral(u"&Журнал в файл…"));
  m_csvLogAction->setCheckable(true);
  connect(monitor, &QAction::triggered, this, &MainWindow::trafficMonitorTriggered);
  connect(trends, &QAction::triggered, this, &MainWindow::trendsTriggered);
  connect(m_csvLogAction, &QAction::triggered, this, &MainWindow::csvLogToggled);
}

}  // namespace zart::ui
