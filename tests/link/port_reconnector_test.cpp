#include <gtest/gtest.h>

#include "link/port_reconnector.h"
#include "support/fake_serial_port.h"

namespace zart::link {
namespace {

/// COM5 open, with its reconnector; COM6 could be opened too.
class PortReconnectorTest : public ::testing::Test {
 protected:
  PortReconnectorTest() {
    port.openable = {5, 6};
    EXPECT_TRUE(port.SetPortNumber(5));
    EXPECT_TRUE(port.Open().ok());
  }
  testing::FakeSerialPort port;
  PortReconnector reconnector{port};
};

TEST_F(PortReconnectorTest, ReopensOnlyTheLostPortAndStandsAsideWhileAnotherIsChosen) {
  reconnector.Attempt();  // nothing lost: nothing to do
  EXPECT_EQ(reconnector.Attempts(), 0);

  port.Vanish();
  port.openable = {};
  reconnector.Attempt();
  reconnector.Attempt();
  EXPECT_EQ(reconnector.Attempts(), 2);
  EXPECT_FALSE(port.IsOpen());

  port.openable = {5, 6};
  reconnector.Attempt();
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 5);

  // It stands aside while the user chooses a port, and never opens another
  // number on its own.
  port.Vanish();
  reconnector.SetEnabled(false);
  reconnector.Attempt();
  EXPECT_FALSE(port.IsOpen());
  reconnector.SetEnabled(true);
  ASSERT_TRUE(port.SetPortNumber(6));  // the user picked another number meanwhile
  reconnector.Attempt();
  EXPECT_FALSE(port.IsOpen());
}

// A port closed without a loss (start-up could not open it, the dialog
// could not reopen it) is tried every second interval on the number in
// force, so the link comes back by itself once the adapter is there.
TEST_F(PortReconnectorTest, APortThatCouldNotBeOpenedIsTriedEveryOtherInterval) {
  port.Close();
  port.openable = {};
  for (int i = 0; i < 4; ++i) reconnector.Attempt();
  EXPECT_EQ(reconnector.Attempts(), 2);
  port.openable = {5};
  reconnector.Attempt();
  EXPECT_FALSE(port.IsOpen());
  reconnector.Attempt();
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(PortReconnectorTest, KeepsTryingTheLostPortAfterADialogThatProbedOthers) {
  port.Vanish();
  port.openable = {6};

  // The port dialog probes: another port opens and closes, which clears the
  // port's own record of the loss; then the user cancels back to COM5.
  reconnector.SetEnabled(false);
  ASSERT_TRUE(port.SetPortNumber(6));
  ASSERT_TRUE(port.Open().ok());
  port.Close();
  ASSERT_TRUE(port.SetPortNumber(5));
  reconnector.SetEnabled(true);

  reconnector.Attempt();
  EXPECT_FALSE(port.IsOpen());  // the adapter is still away
  port.openable = {5, 6};
  reconnector.Attempt();
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 5);
}

}  // namespace
}  // namespace zart::link
