#pragma once

#include <array>

#include <QString>

namespace zart::monitor {

/// Names of the controller's discrete signals, from a plain INI file the
/// user keeps per installation: section "Signals", keys "S1".."S255", text
/// in UTF-8 or Windows-1251. Signals without a key are shown by number.
class SignalNames {
 public:
  /// Larger files are refused: 255 names of the longest a key holds stay
  /// far below this.
  static constexpr qint64 kMaxFileBytes = 256 * 1024;
  /// Names are cut to this many characters.
  static constexpr int kMaxNameLength = 80;

  /// Reads `path`. False, with a Russian reason in `error` and this object
  /// unchanged, for a missing, unreadable, huge or binary file, or one
  /// without any "S1".."S255" key in section "Signals".
  bool Load(const QString& path, QString* error);
  /// Parses a file's bytes: UTF-8 (with or without a byte-order mark) when
  /// they are valid UTF-8, Windows-1251 otherwise. The number of names
  /// found, or -1 (nothing changed) for bytes that are not text.
  int Parse(const QByteArray& bytes);
  void Clear();

  /// The name of signal `n`; empty when the file has none or n is not 1..255.
  QString Name(int n) const;
  /// "17" or "17 «Давление масла»".
  QString Label(int n) const;
  int Count() const { return m_count; }
  bool IsEmpty() const { return m_count == 0; }
  /// The file the names came from; empty when none are loaded.
  const QString& Path() const { return m_path; }

 private:
  std::array<QString, 256> m_names;
  int m_count = 0;
  QString m_path;
};

}  // namespace zart::monitor
