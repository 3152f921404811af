#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../support/fake_link_view.h"
#include "../support/fake_serial_port.h"
#include "link/exchange_cycle.h"
#include "monitor_fakes.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "ui/port_dialog.h"
#include "ui/port_dialog_state.h"

namespace zart::ui {
namespace {

using testing::FakeLinkView;
using testing::FakePrompter;
using testing::FakeSerialPort;

class PortDialogTest : public ::testing::Test {
 protected:
  /// The program running on `comPort`, open when it can be.
  void StartOn(int comPort, std::set<int> openable, std::set<int> busy = {}) {
    port.openable = std::move(openable);
    port.busy = std::move(busy);
    settings.SetComPort(comPort);
    settings.SaveConfig(7);
    port.SetPortNumber(comPort);
    port.Open();
    view.statusHistory.clear();
  }
  std::unique_ptr<PortDialog> Open() {
    return std::make_unique<PortDialog>(port, settings, view, state);
  }
  QStringList Entries(const PortDialog& dialog) const {
    QStringList list;
    for (int i = 0; i < dialog.PortList()->count(); ++i) list << dialog.PortList()->itemText(i);
    return list;
  }
  void Pick(PortDialog& dialog, const QString& entry) {
    const int i = dialog.PortList()->findText(entry);
    ASSERT_GE(i, 0) << entry.toStdString();
    dialog.PortList()->setCurrentIndex(i);
    emit dialog.PortList()->activated(i);
  }
  QString StoredPort() const {
    return settings::ReadIniKey(settings.Path(), QStringLiteral("PC config"), QStringLiteral("COM"), QString());
  }

  QTemporaryDir folder;
  FakeSerialPort port;
  FakeLinkView view;
  FakePrompter prompter;
  settings::SettingsFile settings{folder.path(), view, prompter};
  PortDialogState state;
};

TEST_F(PortDialogTest, NothingOpenableStoresZeroAndReportsNoPort) {
  StartOn(1, {});
  auto dialog = Open();
  EXPECT_TRUE(Entries(*dialog).isEmpty());
  EXPECT_EQ(dialog->PortList()->currentText(), QStringLiteral(u"Выберите порт"));

  dialog->OkButton()->click();
  EXPECT_EQ(settings.ComPort(), 0);
  EXPECT_EQ(StoredPort(), QStringLiteral("0"));
  EXPECT_FALSE(port.IsOpen());
  // Port 0 is refused, and the opening on the last accepted number fails too.
  EXPECT_EQ(view.statusHistory.count(QStringLiteral(u"Порт не выбран")), 2);
  EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(PortDialogTest, BusyConfiguredPortIsLeftOutAndStaysClosed) {
  StartOn(3, {1, 2}, {3});
  auto dialog = Open();
  EXPECT_EQ(Entries(*dialog), (QStringList{QStringLiteral("COM1"), QStringLiteral("COM2")}));
  EXPECT_EQ(dialog->PortList()->currentIndex(), -1);
  EXPECT_EQ(dialog->SelectedPort(), 0);
  EXPECT_FALSE(port.IsOpen());

  Pick(*dialog, QStringLiteral("COM2"));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 2);
}

TEST_F(PortDialogTest, ListsOnlyOpenablePortsUpToSixteenWithTheirDevices) {
  StartOn(1, {1, 5, 16, 17, 40});
  auto dialog = Open();
  EXPECT_EQ(Entries(*dialog), (QStringList{QStringLiteral("COM1"), QStringLiteral("COM5"), QStringLiteral("COM16")}));
  EXPECT_EQ(dialog->PortList()->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/fake5"));
  // The port in force is preselected and open again after probing.
  EXPECT_EQ(dialog->PortList()->currentText(), QStringLiteral("COM1"));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 1);
}

TEST_F(PortDialogTest, PickingComTwelveSwitchesTheLivePortAndOkStoresIt) {
  StartOn(1, {1, 12});
  auto dialog = Open();
  Pick(*dialog, QStringLiteral("COM12"));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 12);
  EXPECT_EQ(StoredPort(), QStringLiteral("1"));  // only OK writes the file

  view.slaveAddress = 9;
  dialog->OkButton()->click();
  EXPECT_EQ(settings.ComPort(), 12);
  EXPECT_EQ(StoredPort(), QStringLiteral("12"));
  EXPECT_EQ(settings::ReadIniKey(settings.Path(), QStringLiteral("KZR config"), QStringLiteral("MBSLAD"), QString()),
            QStringLiteral("9"));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 12);
  EXPECT_TRUE(state.port_confirmed);
}

TEST_F(PortDialogTest, CancelAndCloseBoxGoBackToThePortInUse) {
  for (bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Отмена");
    StartOn(1, {1, 12});
    auto dialog = Open();
    Pick(*dialog, QStringLiteral("COM12"));
    if (closeBox) {
      dialog->show();
      dialog->close();
    } else {
      dialog->CancelButton()->click();
    }
    EXPECT_EQ(settings.ComPort(), 1);
    EXPECT_EQ(StoredPort(), QStringLiteral("1"));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.PortNumber(), 1);
    EXPECT_FALSE(state.port_confirmed);
    EXPECT_TRUE(view.statusHistory.isEmpty());
  }
}

TEST_F(PortDialogTest, OkWithoutTouchingTheListStoresTheCurrentPortOrZero) {
  StartOn(2, {1, 2});
  Open()->OkButton()->click();
  EXPECT_EQ(StoredPort(), QStringLiteral("2"));

  StartOn(3, {1, 2});  // the port in force is not listed: nothing selected
  Open()->OkButton()->click();
  EXPECT_EQ(StoredPort(), QStringLiteral("0"));
}

TEST_F(PortDialogTest, OpensWithFocusOnOkAndTabsToCancelThenTheList) {
  StartOn(1, {1});
  auto dialog = Open();
  dialog->show();
  dialog->activateWindow();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog->focusWidget(), dialog->OkButton());
  QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(dialog->focusWidget(), dialog->CancelButton());
  QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
  QWidget* afterCancel = dialog->focusWidget();
  EXPECT_TRUE(afterCancel == dialog->PortList() || dialog->PortList()->isAncestorOf(afterCancel));
  dialog->close();
}

TEST_F(PortDialogTest, TypedTextIsNoSelection) {
  StartOn(1, {1, 2});
  auto dialog = Open();
  dialog->PortList()->lineEdit()->setText(QStringLiteral("COM7"));
  EXPECT_EQ(dialog->SelectedPort(), 0);
}

TEST_F(PortDialogTest, ConfirmationOutlivesTheDialog) {
  StartOn(1, {1, 2});
  auto first = Open();
  Pick(*first, QStringLiteral("COM2"));
  first->OkButton()->click();
  first.reset();

  // Opened again and closed by its box: the confirmed port stays.
  auto second = Open();
  EXPECT_EQ(second->PortList()->currentText(), QStringLiteral("COM2"));
  second->show();
  second->close();
  EXPECT_TRUE(state.port_confirmed);
  EXPECT_EQ(settings.ComPort(), 2);
  EXPECT_EQ(port.PortNumber(), 2);
}

TEST_F(PortDialogTest, ExchangeRunsBetweenProbesButNeverInsideATick) {
  StartOn(1, {1, 2, 3});
  link::ExchangeCycle cycle(port, view);
  QTimer ticks;
  ticks.setInterval(0);
  QObject::connect(&ticks, &QTimer::timeout, [&cycle] { cycle.ExchangeTick(); });
  ticks.start();
  auto dialog = Open();
  ticks.stop();
  EXPECT_GT(cycle.Counters().ticks, 0u);
  EXPECT_EQ(cycle.Counters().nestedTicksSkipped, 0u);
  EXPECT_EQ(Entries(*dialog).size(), 3);
}

// ---- Fast exchange check box ---------------------------------------------

TEST_F(PortDialogTest, FastExchangeBoxShowsTheStoredChoiceAndOnlyOkStoresIt) {
  StartOn(1, {1});
  const auto stored = [this] {
    return settings::ReadIniKey(settings.Path(), QStringLiteral("PC config"), QStringLiteral("FastExchange"),
                                QStringLiteral("<none>"));
  };
  auto dialog = Open();
  EXPECT_EQ(dialog->FastExchangeBox()->text(), QStringLiteral(u"Быстрый обмен"));
  EXPECT_FALSE(dialog->FastExchangeBox()->isChecked());
  dialog->FastExchangeBox()->setChecked(true);
  dialog->OkButton()->click();
  EXPECT_TRUE(settings.FastExchange());
  EXPECT_EQ(stored(), QStringLiteral("1"));

  dialog = Open();
  EXPECT_TRUE(dialog->FastExchangeBox()->isChecked());
  dialog->FastExchangeBox()->setChecked(false);
  dialog->CancelButton()->click();
  EXPECT_TRUE(settings.FastExchange());
  EXPECT_EQ(stored(), QStringLiteral("1"));
}

}  // namespace
}  // namespace zart::ui
