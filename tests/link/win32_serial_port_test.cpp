// The Win32 adapter where no device answers; the data path is proven end to
// end by the Windows build's run against the simulator under Wine.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "link/win32_serial_port.h"

namespace zart::link {
namespace {

TEST(Win32SerialPort, PortNumbersAndMissingDevice) {
  Win32SerialPort port(PortMap({{7, QStringLiteral("/dev/ttyUSB0")}}));
  EXPECT_FALSE(port.SetPortNumber(0));
  EXPECT_FALSE(port.SetPortNumber(256));
  EXPECT_EQ(port.DevicePath(7), QStringLiteral("COM7"));  // no device list on Windows
  ASSERT_TRUE(port.SetPortNumber(250));
  EXPECT_EQ(port.PortNumber(), 250);

  const OpenResult result = port.Open();
  EXPECT_EQ(result.status, OpenResult::Status::unavailable);
  EXPECT_TRUE(result.reason.startsWith(QStringLiteral("COM250: "))) << result.reason.toStdString();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_EQ(port.ReadByte(), -1);
  const std::uint8_t frame[] = {1, 4, 0, 0, 0, 1, 0x31, 0xCA};
  port.Write(frame);  // closed: nothing happens
  EXPECT_FALSE(port.DeviceLost());
}

}  // namespace
}  // namespace zart::link
