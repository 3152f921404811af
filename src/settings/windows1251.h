#pragma once

#include <QByteArray>
#include <QString>

namespace zart::settings {

/// Windows-1251, the single-byte code page of the controller's texts and of
/// the tool's files. Encoding writes "?" for a character the code page
/// cannot hold, never a multi-byte sequence, so byte counts stay exact.
/// Every byte 0..255 decodes to one character that encodes back to the same
/// byte: the unassigned 0x98 is the control character U+0098.
QByteArray EncodeWindows1251(const QString& text);
QString DecodeWindows1251(const QByteArray& bytes);
/// One byte (0..255) to its character.
QChar DecodeWindows1251(unsigned char byte);

}  // namespace zart::settings
