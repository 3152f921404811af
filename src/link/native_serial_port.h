#pragma once

// The serial adapter of the platform the tool is built for: the Win32
// communications API on Windows, Qt SerialPort elsewhere.
#ifdef _WIN32
#include "link/win32_serial_port.h"
namespace zart::link {
using NativeSerialPort = Win32SerialPort;
}
#else
#include "link/qt_serial_port.h"
namespace zart::link {
using NativeSerialPort = QtSerialPort;
}
#endif
