#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace zart::testing {

/// The whole file at `path`; empty when it cannot be read.
inline QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// Replaces the file at `path` with `bytes`; false when it cannot be written whole.
inline bool WriteFileBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace zart::testing
