#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "link/exchange_cycle.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/scripted_prompter.h"
#include "ui/port_dialog.h"
#include "ui/port_dialog_state.h"

namespace zart::ui {
namespace {

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
  std::unique_ptr<PortDialog> Open() { return std::make_unique<PortDialog>(port, settings, view, state); }
  static QStringList Entries(const PortDialog& dialog) {
    QStringList list;
    for (int i = 0; i < dialog.PortList()->count(); ++i) list << dialog.PortList()->itemText(i);
    return list;
  }
  static void Pick(PortDialog& dialog, const QString& entry) {
    const int i = dialog.PortList()->findText(entry);
    ASSERT_GE(i, 0) << entry.toStdString();
    dialog.PortList()->setCurrentIndex(i);
    emit dialog.PortList()->activated(i);
  }
  QString StoredPort() const {
    return settings::ReadIniKey(settings.Path(), QStringLiteral("PC config"), QStringLiteral("COM"), QString());
  }

  QTemporaryDir folder;
  testing::FakeSerialPort port;
  testing::FakeLinkView view;
  testing::ScriptedPrompter prompter;
  settings::SettingsFile settings{folder.path(), view, prompter};
  PortDialogState state;
};

enum class Finish { ok, cancel, closeBox };

struct Situation {
  const char* name;
  int comPort;
  std::set<int> openable, busy;
  QStringList listed;  // entries of the list when it opens
  const char* pick;    // entry the user picks, or nullptr
  Finish finish;
  int stored;    // COM= in the file afterwards
  int openPort;  // the port open afterwards, 0 for none
};

std::ostream& operator<<(std::ostream& os, const Situation& s) { return os << s.name; }

class PortDialogSituation : public PortDialogTest, public ::testing::WithParamInterface<Situation> {};

TEST_P(PortDialogSituation, ListsPicksAndStores) {
  const Situation& s = GetParam();
  StartOn(s.comPort, s.openable, s.busy);
  auto dialog = Open();
  EXPECT_EQ(Entries(*dialog), s.listed);
  if (s.pick) {
    Pick(*dialog, QString::fromLatin1(s.pick));
    EXPECT_EQ(port.PortNumber(), QString::fromLatin1(s.pick).mid(3).toInt()) << "picking switches the live port";
    EXPECT_EQ(StoredPort(), QString::number(s.comPort)) << "only OK writes the file";
  }
  view.slaveAddress = 9;
  if (s.finish == Finish::ok) dialog->OkButton()->click();
  if (s.finish == Finish::cancel) dialog->CancelButton()->click();
  if (s.finish == Finish::closeBox) {
    dialog->show();
    dialog->close();
  }
  EXPECT_EQ(StoredPort(), QString::number(s.stored));
  EXPECT_EQ(settings.ComPort(), s.stored);
  EXPECT_EQ(port.IsOpen() ? port.PortNumber() : 0, s.openPort);
  if (s.pick) { EXPECT_EQ(state.port_confirmed, s.finish == Finish::ok); }
  if (s.finish == Finish::ok && s.stored) {
    EXPECT_EQ(settings::ReadIniKey(settings.Path(), QStringLiteral("KZR config"), QStringLiteral("MBSLAD"), {}),
              QStringLiteral("9"));
  }
  if (s.finish != Finish::ok) { EXPECT_TRUE(view.statusHistory.isEmpty()); }
  EXPECT_TRUE(prompter.asked.empty());
}

const QString C1 = QStringLiteral("COM1"), C2 = QStringLiteral("COM2"), C5 = QStringLiteral("COM5"),
              C12 = QStringLiteral("COM12"), C16 = QStringLiteral("COM16");

INSTANTIATE_TEST_SUITE_P(
    Situations, PortDialogSituation,
    ::testing::Values(
        Situation{"NothingOpenableStoresZero", 1, {}, {}, {}, nullptr, Finish::ok, 0, 0},
        Situation{"BusyPortInForceIsLeftOutAndAnotherPicked", 3, {1, 2}, {3}, {C1, C2}, "COM2", Finish::ok, 2, 2},
        Situation{"OnlyOpenablePortsUpToSixteen", 1, {1, 5, 16, 17, 40}, {}, {C1, C5, C16}, nullptr, Finish::cancel, 1, 1},
        Situation{"PickedPortIsStoredByOk", 1, {1, 12}, {}, {C1, C12}, "COM12", Finish::ok, 12, 12},
        Situation{"CancelGoesBackToThePortInUse", 1, {1, 12}, {}, {C1, C12}, "COM12", Finish::cancel, 1, 1},
        Situation{"CloseBoxGoesBackToThePortInUse", 1, {1, 12}, {}, {C1, C12}, "COM12", Finish::closeBox, 1, 1},
        Situation{"OkUntouchedStoresThePortInUse", 2, {1, 2}, {}, {C1, C2}, nullptr, Finish::ok, 2, 2},
        Situation{"OkWithThePortInForceUnlistedStoresZero", 3, {1, 2}, {}, {C1, C2}, nullptr, Finish::ok, 0, 0}),
    [](const ::testing::TestParamInfo<Situation>& p) { return std::string(p.param.name); });

TEST_F(PortDialogTest, NoPortStatusPreselectionAndTooltips) {
  StartOn(1, {});
  Open()->OkButton()->click();
  // Port 0 is refused, and the opening on the last accepted number fails too.
  EXPECT_EQ(view.statusHistory.count(QStringLiteral(u"Порт не выбран")), 2);

  StartOn(5, {1, 5});
  auto dialog = Open();
  EXPECT_EQ(dialog->PortList()->currentText(), QStringLiteral("COM5"));
  EXPECT_EQ(dialog->PortList()->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/fake5"));
  dialog->PortList()->lineEdit()->setText(QStringLiteral("COM7"));
  EXPECT_EQ(dialog->SelectedPort(), 0) << "typed text is no selection";
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
  EXPECT_TRUE(dialog->focusWidget() == dialog->PortList() || dialog->PortList()->isAncestorOf(dialog->focusWidget()));
  dialog->close();
}

TEST_F(PortDialogTest, ConfirmationOutlivesTheDialog) {
  StartOn(1, {1, 2});
  auto first = Open();
  Pick(*first, QStringLiteral("COM2"));
  first->OkButton()->click();
  first.reset();
  auto second = Open();  // opened again and closed by its box: the confirmed port stays
  EXPECT_EQ(second->PortList()->currentText(), QStringLiteral("COM2"));
  second->show();
  second->close();
  EXPECT_TRUE(state.port_confirmed);
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
