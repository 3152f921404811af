#pragma once

#include <utility>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
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
  /// Larger files are refused by Load. A parameter file of this tool is
  /// about 25 KB, and even one with a 254-character value in every key stays
  /// under a third of this.
  static constexpr qint64 kMaxFileBytes = 1024 * 1024;

  IniFile() = default;

  /// Reads the file. A missing file gives an empty document and true; a file
  /// that exists but cannot be read, or is larger than kMaxFileBytes, gives
  /// false and the reason in `error`.
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
  // A section header or a key line of the parsed bytes; offsets into
  // m_bytes. Other lines (comments, blank lines, anything else) have no
  // entry: they are written back from m_bytes as they were. Sixteen bytes
  // per entry keep a parse within a small multiple of the file's size
  // whatever its lines look like.
  struct Entry {
    qint32 begin;    // the line's first byte
    qint32 end;      // one past its last byte, line break excluded
    qint32 equals;   // key lines: the '='; headers: -1
    qint32 section;  // the entry of the line's header (headers: itself)
  };
  // A hash of a folded name (for keys, with their section) and its entry,
  // sorted by hash, then by entry, so that the first of equal names is met
  // first.
  struct IndexItem {
    quint32 hash;
    qint32 entry;
  };
  // Keys written into a section that the file does not hold them in: a
  // section of the file (they go after its last key line) or a new section
  // appended at the end.
  struct Added {
    QString name;                          // new sections: the name as written
    qint32 anchor = -1;                    // the entry they follow; -1 for a new section
    QList<std::pair<QString, QString>> keys;  // key as written, value
    QHash<QString, qsizetype> index;       // folded key -> position in keys
  };

  QByteArrayView headerName(const Entry& e) const;
  QByteArrayView keyName(const Entry& e) const;
  QString fileValue(const Entry& e) const;
  qint32 findSection(const QString& folded) const;
  qint32 findKey(qint32 section, const QString& folded) const;
  qsizetype addedIndex(qint32 section, const QString& folded) const;
  const Added* findAdded(qint32 section, const QString& folded) const;
  Added& addedForWrite(qint32 section, const QString& name, const QString& folded);

  QByteArray m_bytes;
  std::vector<Entry> m_entries;
  std::vector<IndexItem> m_sectionIndex;
  std::vector<IndexItem> m_keyIndex;
  QHash<qint32, QString> m_changed;           // key entry -> value written over it
  std::vector<Added> m_added;                 // in order of first write
  QHash<qint32, qsizetype> m_addedBySection;  // header entry -> m_added
  QHash<QString, qsizetype> m_newSections;    // folded name -> m_added
};

/// Reads one value of an INI file (see IniFile for the rules).
QString ReadIniKey(const QString& file, const QString& section, const QString& key, const QString& defaultValue);

/// Writes one value of an INI file, creating file and section as needed.
/// Returns false, with the reason in `error`, when the file cannot be
/// written; unlike the profile functions, a refused write is not silent.
bool WriteIniKey(const QString& file, const QString& section, const QString& key, const QString& value,
                 QString* error = nullptr);

}  // namespace zart::settings
