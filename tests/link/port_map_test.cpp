#include <gtest/gtest.h>

#include "link/port_map.h"

namespace zart::link {
namespace {

#ifndef Q_OS_WIN
TEST(PortMap, DefaultDevicesAndOverrides) {
  PortMap map({{3, QStringLiteral(" /dev/serial/by-id/usb-FTDI-if00-port0 ")}, {5, QStringLiteral("  ")}});
  struct Case {
    int n;
    const char* device;
  };
  const Case cases[] = {{1, "/dev/ttyS0"},    {4, "/dev/ttyS3"},    {3, "/dev/serial/by-id/usb-FTDI-if00-port0"},
                        {5, "/dev/ttyUSB0"},  {12, "/dev/ttyUSB7"}, {13, "/dev/ttyACM0"},
                        {16, "/dev/ttyACM3"}, {17, ""},             {0, ""}};
  for (const Case& c : cases) EXPECT_EQ(map.DevicePath(c.n), QString::fromLatin1(c.device)) << c.n;
}
#endif

}  // namespace
}  // namespace zart::link
