#pragma once

#include <vector>

#include <QByteArray>
#include <QHash>
#include <QList>
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
  /// Parses Windows-1251 bytes (a file's whole contents), replacing the
  /// document. Lines may end in LF, CR LF or CR; any bytes are accepted.
  void Parse(const QByteArray& bytes);

  /// The value of `key` in `section`, blanks around it dropped, cut to
  /// kMaxValueLength characters; `defaultValue` when section or key is missing.
  QString Read(const QString& section, const QString& key, const QString& defaultValue) const;
  /// Sets `key` in `section`: in place when present, otherwise appended after
  /// the section's last key (a missing section is appended at the end). CR and
  /// LF become blanks, in names as well. An empty key name writes nothing.
  void Write(const QString& section, const QString& key, const QString& value);

  /// What Read gives back for `value` once it is written and the file read
  /// again: CR and LF as blanks, blanks around dropped, characters that
  /// Windows-1251 cannot hold as "?", cut to kMaxValueLength characters.
  static QString StoredValue(const QString& value);

  /// The keys of `section` as written in the file, in file order, each once
  /// (the first of duplicates); empty when the section is missing.
  QStringList Keys(const QString& section) const;

  /// The document as Windows-1251 bytes, lines ended by CR LF. Lines that
  /// were not changed keep their bytes exactly.
  QByteArray Serialize() const;
  /// Writes the document atomically: a temporary file in the same folder,
  /// then a rename over the old file, so an interrupted save leaves either
  /// the old file or the new one, whole. False and the reason when the
  /// system refuses (read-only folder, full disk).
  bool Save(const QString& path, QString* error = nullptr) const;

 private:
  struct Line {
    enum class Kind { other, section, key };
    QByteArray raw;         // the line's bytes as read
    bool verbatim = false;  // true while `raw` still holds the line
    QString key;            // key lines: the key as written; headers: the name
    QString value;          // key lines: the value as written, blanks kept
    Kind kind = Kind::other;
  };
  /// A section header and the lines up to the next header. The lines in
  /// front of the first header form a section without a header that no name
  /// reaches.
  struct Section {
    bool hasHeader = false;
    QList<Line> lines;                // the header line first, when there is one
    QHash<QString, qsizetype> keys;   // folded key name -> line; first of duplicates
    qsizetype lastKeyLine = -1;       // new keys go after this line
  };

  const Section* findSection(const QString& section) const;
  Section& sectionForWrite(const QString& section);

  std::vector<Section> m_sections;
  QHash<QString, std::size_t> m_sectionIndex;  // folded name -> first such section
};

/// Reads one value of an INI file (see IniFile for the rules).
QString ReadIniKey(const QString& file, const QString& section, const QString& key, const QString& defaultValue);

/// Writes one value of an INI file, creating file and section as needed.
/// Returns false, with the reason in `error`, when the file cannot be
/// written; unlike the profile functions, a refused write is not silent.
bool WriteIniKey(const QString& file, const QString& section, const QString& key, const QString& value,
                 QString* error = nullptr);

}  // namespace zart::settings
