#pragma once

#include <QString>
#include <QStringList>

namespace zart::settings {

/// An INI-style document held in memory, read from and written to disk in
/// one go. Files are single-byte Windows-1251 text.
///
/// Rules (those of the Windows profile functions the tool's files come from):
/// - section and key names match regardless of letter case;
/// - a missing file, section or key reads as the caller's default; a key
///   present with an empty value reads as an empty string;
/// - blanks around a value are dropped; a value is cut to its first 254
///   characters;
/// - writing replaces an existing value in place; a missing section or key
///   is appended, in the order of first write; CR and LF in a value are
///   written as blanks;
/// - comments, blank lines and unknown sections and keys are kept as they
///   were; of duplicate keys the first counts.
class IniFile {
 public:
  static constexpr int kMaxValueLength = 254;

  IniFile() = default;

  /// Reads the file. A missing file gives an empty document and true; a file
  /// that exists but cannot be read gives false and the reason in `error`.
  bool Load(const QString& path, QString* error = nullptr);
  /// Parses Windows-1251 bytes (a file's whole contents).
  void Parse(const QByteArray& bytes);

  QString Read(const QString& section, const QString& key, const QString& defaultValue) const;
  void Write(const QString& section, const QString& key, const QString& value);

  /// The document as Windows-1251 bytes, lines ended by CR LF.
  QByteArray Serialize() const;
  /// Writes the document atomically: a temporary file in the same folder,
  /// then a rename over the old file, so an interrupted save leaves either
  /// the old file or the new one, whole. False and the reason when the
  /// system refuses (read-only folder, full disk).
  bool Save(const QString& path, QString* error = nullptr) const;

 private:
  struct Line {
    QString text;     // the line as read, for lines kept verbatim
    QString section;  // for a section header: the name
    QString key;      // for a key line: the key as written
    QString value;    // for a key line: the value as written
    enum class Kind { other, section, key } kind = Kind::other;
  };
  int findSection(const QString& section) const;
  int findKey(int sectionLine, const QString& key) const;
  int sectionEnd(int sectionLine) const;

  QList<Line> m_lines;
};

/// Reads one value of an INI file (see IniFile for the rules).
QString ReadIniKey(const QString& file, const QString& section, const QString& key, const QString& defaultValue);

/// Writes one value of an INI file, creating file and section as needed.
/// Returns false, with the reason in `error`, when the file cannot be
/// written; unlike the profile functions, a refused write is not silent.
bool WriteIniKey(const QString& file, const QString& section, const QString& key, const QString& value,
                 QString* error = nullptr);

}  // namespace zart::settings
