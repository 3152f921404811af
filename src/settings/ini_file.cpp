#include "settings/ini_file.h"

#include <algorithm>
#include <array>
#include <limits>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "link/system_reason.h"
#include "settings/windows1251.h"

namespace zart::settings {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Only blanks and tabs count, as with the profile functions; a no-break
// space inside a text parameter is part of the text.
QString trimBlanks(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && isBlank(text[begin])) {
    ++begin;
  }
  while (end > begin && isBlank(text[end - 1])) {
    --end;
  }
  if (begin == 0 && end == text.size()) {
    return text;
  }
  return text.mid(begin, end - begin);
}

// A value or name always stays on its own line.
QString oneLine(const QString& text) {
  QString result = text;
  result.replace(u'\r', u' ');
  result.replace(u'\n', u' ');
  return result;
}

QString cleanName(const QString& name) { return trimBlanks(oneLine(name)); }

void setError(QString* error, const QString& text) {
  if (error != nullptr) {
    *error = text;
  }
}

// Names are compared folded one UTF-16 unit at a time, so that a name in the
// file's bytes and a name given as text fold alike without decoding the
// file's names into strings.
char16_t foldUnit(char16_t unit) { return static_cast<char16_t>(QChar::toCaseFolded(char32_t{unit})); }

// Each Windows-1251 byte folded, the same as foldUnit of its character.
const std::array<char16_t, 256>& byteFold() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
      t[static_cast<std::size_t>(b)] = foldUnit(DecodeWindows1251(static_cast<unsigned char>(b)).unicode());
    }
    return t;
  }();
  return table;
}

// FNV-1a over folded units; a key's hash starts from its section's entry.
struct NameHash {
  quint32 h = 2166136261u;
  void add(char16_t unit) {
    h ^= unit;
    h *= 16777619u;
  }
  void addSection(qint32 entry) {
    const auto u = static_cast<quint32>(entry);
    add(static_cast<char16_t>(u & 0xFFFF));
    add(static_cast<char16_t>(u >> 16));
  }
};

quint32 hashOf(QByteArrayView name, NameHash hash = {}) {
  const std::array<char16_t, 256>& fold = byteFold();
  for (const char c : name) hash.add(fold[static_cast<unsigned char>(c)]);
  return hash.h;
}

quint32 hashOf(const QString& folded, NameHash hash = {}) {
  for (const QChar c : folded) hash.add(c.unicode());
  return hash.h;
}

bool sameName(QByteArrayView name, const QString& folded) {
  if (name.size() != folded.size()) return false;
  const std::array<char16_t, 256>& fold = byteFold();
  for (qsizetype i = 0; i < name.size(); ++i) {
    if (fold[static_cast<unsigned char>(name[i])] != folded[i].unicode()) return false;
  }
  return true;
}

QString foldName(const QString& name) {
  QString folded = cleanName(name);
  for (QChar& c : folded) c = QChar(foldUnit(c.unicode()));
  return folded;
}

bool isBlankByte(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimBytes(QByteArrayView bytes) {
  qsizetype begin = 0;
  qsizetype end = bytes.size();
  while (begin < end && isBlankByte(bytes[begin])) ++begin;
  while (end > begin && isBlankByte(bytes[end - 1])) --end;
  return bytes.sliced(begin, end - begin);
}

// One line of `bytes` from `start`: its end (line break excluded) and the
// start of the next line. Lines end in LF, CR LF or CR.
struct LineSpan {
  qsizetype end;
  qsizetype next;
};

LineSpan lineAt(const char* bytes, qsizetype start, qsizetype n) {
  qsizetype end = start;
  while (end < n && bytes[end] != '\r' && bytes[end] != '\n') ++end;
  qsizetype next = end;
  if (next < n) next += (bytes[next] == '\r' && next + 1 < n && bytes[next + 1] == '\n') ? 2 : 1;
  return {end, next};
}

enum class LineKind { other, header, key };

// What a line is, from its bytes alone: blanks, brackets, '=', ';' and '#'
// are the same bytes in Windows-1251 as in ASCII. A key line counts only
// under a header; `equals` receives its '='.
LineKind classify(QByteArrayView line, bool underHeader, qsizetype* equals) {
  const QByteArrayView trimmed = trimBytes(line);
  if (trimmed.startsWith('[') && trimmed.lastIndexOf(']') > 0) return LineKind::header;
  if (!underHeader || trimmed.startsWith(';') || trimmed.startsWith('#')) return LineKind::other;
  const qsizetype eq = line.indexOf('=');
  if (eq <= 0 || trimBytes(line.first(eq)).isEmpty()) return LineKind::other;
  *equals = eq;
  return LineKind::key;
}

}  // namespace

bool IniFile::Load(const QString& path, QString* error) {
  Parse(QByteArray());
  const QFileInfo info(path);
  if (!info.exists()) {
    return true;
  }
  // A folder, a device or a pipe under the file's name would block or never
  // end; only a regular file is read.
  if (!info.isFile()) {
    setError(error, QStringLiteral(u"Это не обычный файл"));
    return false;
  }
  if (info.size() > kMaxFileBytes) {
    setError(error, QStringLiteral(u"Файл слишком велик"));
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    setError(error, link::FileErrorReason(path, file, link::FileAccess::read));
    return false;
  }
  // Read in chunks: asking QIODevice for the size limit at once would
  // allocate (and clear) the whole limit for every small file.
  QByteArray bytes;
  bytes.reserve(info.size());
  char chunk[64 * 1024];
  for (;;) {
    const qint64 got = file.read(chunk, sizeof chunk);
    if (got < 0) {
      setError(error, link::FileErrorReason(path, file, link::FileAccess::read));
      return false;
    }
    if (got == 0) break;
    bytes.append(chunk, static_cast<qsizetype>(got));
    if (bytes.size() > kMaxFileBytes) {
      setError(error, QStringLiteral(u"Файл слишком велик"));
      return false;
    }
  }
  Parse(bytes);
  return true;
}

void IniFile::Parse(const QByteArray& bytes) {
  m_bytes = bytes;  // shared, not copied
  m_entries.clear();
  m_sectionIndex.clear();
  m_keyIndex.clear();
  m_changed.clear();
  m_added.clear();
  m_addedBySection.clear();
  m_newSections.clear();

  // Offsets are 32-bit; Load never hands over more than kMaxFileBytes.
  const qsizetype n = std::min<qsizetype>(m_bytes.size(), std::numeric_limits<qint32>::max() - 1);
  const char* data = m_bytes.constData();

  // Two passes over the lines: the first counts the entries so that the
  // tables are allocated once at their final size, the second fills them.
  for (int pass = 0; pass < 2; ++pass) {
    std::size_t headers = 0;
    std::size_t keys = 0;
    qint32 section = -1;
    for (qsizetype start = 0; start < n;) {
      const LineSpan span = lineAt(data, start, n);
      qsizetype equals = -1;
      const LineKind kind = classify(QByteArrayView(data + start, span.end - start), section >= 0, &equals);
      if (kind != LineKind::other) {
        const auto index = static_cast<qint32>(headers + keys);
        if (kind == LineKind::header) {
          ++headers;
          section = index;
        } else {
          ++keys;
        }
        if (pass == 1) {
          const Entry e{static_cast<qint32>(start), static_cast<qint32>(span.end),
                        kind == LineKind::key ? static_cast<qint32>(start + equals) : -1, section};
          m_entries.push_back(e);
          if (kind == LineKind::header) {
            m_sectionIndex.push_back({hashOf(headerName(e)), index});
          } else {
            NameHash seed;
            seed.addSection(section);
            m_keyIndex.push_back({hashOf(keyName(e), seed), index});
          }
        }
      }
      start = span.next;
    }
    if (pass == 0) {
      m_entries.reserve(headers + keys);
      m_sectionIndex.reserve(headers);
      m_keyIndex.reserve(keys);
    }
  }
  const auto byHashThenEntry = [](const IndexItem& a, const IndexItem& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.entry < b.entry;
  };
  std::sort(m_sectionIndex.begin(), m_sectionIndex.end(), byHashThenEntry);
  std::sort(m_keyIndex.begin(), m_keyIndex.end(), byHashThenEntry);
}

QByteArrayView IniFile::headerName(const Entry& e) const {
  const QByteArrayView trimmed = trimBytes(QByteArrayView(m_bytes.constData() + e.begin, e.end - e.begin));
  return trimBytes(trimmed.first(trimmed.lastIndexOf(']')).sliced(1));
}

QByteArrayView IniFile::keyName(const Entry& e) const {
  return trimBytes(QByteArrayView(m_bytes.constData() + e.begin, e.equals - e.begin));
}

QString IniFile::fileValue(const Entry& e) const {
  return DecodeWindows1251(m_bytes.sliced(e.equals + 1, e.end - e.equals - 1));
}

qint32 IniFile::findSection(const QString& folded) const {
  const quint32 h = hashOf(folded);
  auto it = std::lower_bound(m_sectionIndex.begin(), m_sectionIndex.end(), h,
                             [](const IndexItem& item, quint32 hash) { return item.hash < hash; });
  // Of two sections with one name the first counts; the later one is kept
  // in the file but not reached.
  for (; it != m_sectionIndex.end() && it->hash == h; ++it) {
    if (sameName(headerName(m_entries[static_cast<std::size_t>(it->entry)]), folded)) return it->entry;
  }
  return -1;
}

qint32 IniFile::findKey(qint32 section, const QString& folded) const {
  NameHash seed;
  seed.addSection(section);
  const quint32 h = hashOf(folded, seed);
  auto it = std::lower_bound(m_keyIndex.begin(), m_keyIndex.end(), h,
                             [](const IndexItem& item, quint32 hash) { return item.hash < hash; });
  // Of duplicate keys the first counts.
  for (; it != m_keyIndex.end() && it->hash == h; ++it) {
    const Entry& e = m_entries[static_cast<std::size_t>(it->entry)];
    if (e.section == section && sameName(keyName(e), folded)) return it->entry;
  }
  return -1;
}

qsizetype IniFile::addedIndex(qint32 section, const QString& folded) const {
  if (section >= 0) return static_cast<qsizetype>(m_addedBySection.value(section, -1));
  return static_cast<qsizetype>(m_newSections.value(folded, -1));
}

const IniFile::Added* IniFile::findAdded(qint32 section, const QString& folded) const {
  const qsizetype i = addedIndex(section, folded);
  return i < 0 ? nullptr : &m_added[static_cast<std::size_t>(i)];
}

IniFile::Added& IniFile::addedForWrite(qint32 section, const QString& name, const QString& folded) {
  const qsizetype found = addedIndex(section, folded);
  if (found >= 0) return m_added[static_cast<std::size_t>(found)];
  Added created;
  if (section >= 0) {
    // After the section's last key line, so that blank lines and comments
    // that separate it from the next section stay where they are. Entries
    // after a header up to the next header are its key lines.
    qint32 last = section;
    while (static_cast<std::size_t>(last) + 1 < m_entries.size() &&
           m_entries[static_cast<std::size_t>(last) + 1].equals >= 0)
      ++last;
    created.anchor = last;
    m_addedBySection.insert(section, static_cast<qsizetype>(m_added.size()));
  } else {
    created.name = name;
    m_newSections.insert(folded, static_cast<qsizetype>(m_added.size()));
  }
  m_added.push_back(std::move(created));
  return m_added.back();
}

QString IniFile::Read(const QString& section, const QString& key, const QString& defaultValue) const {
  const QString folded = foldName(section);
  const QString foldedKey = foldName(key);
  const qint32 s = findSection(folded);
  if (s >= 0) {
    const qint32 k = findKey(s, foldedKey);
    if (k >= 0) {
      const auto changed = m_changed.constFind(k);
      if (changed != m_changed.constEnd()) return trimBlanks(*changed).left(kMaxValueLength);
      const Entry& e = m_entries[static_cast<std::size_t>(k)];
      const QByteArrayView value = trimBytes(QByteArrayView(m_bytes.constData() + e.equals + 1, e.end - e.equals - 1));
      return DecodeWindows1251(value.first(std::min<qsizetype>(value.size(), kMaxValueLength)).toByteArray());
    }
  }
  const Added* added = findAdded(s, folded);
  if (added == nullptr) return defaultValue;
  const auto it = added->index.constFind(foldedKey);
  if (it == added->index.constEnd()) return defaultValue;
  return trimBlanks(added->keys[*it].second).left(kMaxValueLength);
}

void IniFile::Write(const QString& section, const QString& key, const QString& value) {
  const QString name = cleanName(key);
  if (name.isEmpty()) {
    return;
  }
  const QString text = oneLine(value);
  const QString folded = foldName(section);
  const QString foldedKey = foldName(name);
  const qint32 s = findSection(folded);
  if (s >= 0) {
    const qint32 k = findKey(s, foldedKey);
    if (k >= 0) {
      // A value that reads back the same keeps the line's bytes as they were,
      // so saving a whole parameter set over a hand-edited file keeps its layout.
      const auto changed = m_changed.constFind(k);
      const QString current =
          changed != m_changed.constEnd() ? *changed : fileValue(m_entries[static_cast<std::size_t>(k)]);
      if (trimBlanks(current) != trimBlanks(text)) {
        m_changed.insert(k, text);
      }
      return;
    }
  }
  Added& added = addedForWrite(s, cleanName(section), folded);
  const auto it = added.index.constFind(foldedKey);
  if (it != added.index.constEnd()) {
    QString& current = added.keys[*it].second;
    if (trimBlanks(current) != trimBlanks(text)) current = text;
    return;
  }
  added.index.insert(foldedKey, added.keys.size());
  added.keys.append({name, text});
}

QString IniFile::StoredValue(const QString& value) {
  return trimBlanks(DecodeWindows1251(EncodeWindows1251(oneLine(value)))).left(kMaxValueLength);
}

QStringList IniFile::Keys(const QString& section) const {
  QStringList keys;
  const QString folded = foldName(section);
  const qint32 s = findSection(folded);
  for (auto i = static_cast<std::size_t>(s) + 1; s >= 0 && i < m_entries.size() && m_entries[i].equals >= 0; ++i) {
    const QByteArrayView name = keyName(m_entries[i]);
    const QString text = DecodeWindows1251(name.toByteArray());
    if (findKey(s, foldName(text)) == static_cast<qint32>(i)) keys.append(text);
  }
  if (const Added* added = findAdded(s, folded)) {
    for (const auto& [key, value] : added->keys) keys.append(key);
  }
  return keys;
}

QByteArray IniFile::Serialize() const {
  QByteArray out;
  out.reserve(m_bytes.size() + m_bytes.size() / 8 + 64);
  auto appendKeys = [&out](const Added& added) {
    for (const auto& [key, value] : added.keys) {
      out.append(EncodeWindows1251(key));
      out.append('=');
      out.append(EncodeWindows1251(value));
      out.append("\r\n");
    }
  };
  QHash<qint32, std::size_t> byAnchor;
  for (std::size_t i = 0; i < m_added.size(); ++i) {
    if (m_added[i].anchor >= 0) byAnchor.insert(m_added[i].anchor, i);
  }

  const qsizetype n = std::min<qsizetype>(m_bytes.size(), std::numeric_limits<qint32>::max() - 1);
  const char* data = m_bytes.constData();
  std::size_t next = 0;  // the next entry, in file order
  for (qsizetype start = 0; start < n;) {
    const LineSpan span = lineAt(data, start, n);
    const bool isEntry = next < m_entries.size() && m_entries[next].begin == start;
    const auto entry = static_cast<qint32>(next);
    const auto changed = isEntry ? m_changed.constFind(entry) : m_changed.constEnd();
    if (changed != m_changed.constEnd()) {
      out.append(keyName(m_entries[next]));
      out.append('=');
      out.append(EncodeWindows1251(*changed));
    } else {
      // Lines that were not changed keep their bytes exactly.
      out.append(data + start, span.end - start);
    }
    out.append("\r\n");
    if (isEntry) {
      const auto anchored = byAnchor.constFind(entry);
      if (anchored != byAnchor.constEnd()) appendKeys(m_added[*anchored]);
      ++next;
    }
    start = span.next;
  }
  for (const Added& added : m_added) {
    if (added.anchor >= 0) continue;
    out.append('[');
    out.append(EncodeWindows1251(added.name));
    out.append("]\r\n");
    appendKeys(added);
  }
  return out;
}

bool IniFile::Save(const QString& path, QString* error) const {
  const QByteArray bytes = Serialize();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    setError(error, link::FileErrorReason(path, file, link::FileAccess::write));
    return false;
  }
  if (file.write(bytes) != bytes.size()) {
    setError(error, link::FileErrorReason(path, file, link::FileAccess::write));
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    setError(error, link::FileErrorReason(path, file, link::FileAccess::write));
    return false;
  }
  return true;
}

QString ReadIniKey(const QString& file, const QString& section, const QString& key, const QString& defaultValue) {
  IniFile ini;
  // An unreadable file reads like a missing one, as with the profile
  // functions; callers that must tell the two apart use IniFile::Load.
  if (!ini.Load(file)) {
    return defaultValue;
  }
  return ini.Read(section, key, defaultValue);
}

bool WriteIniKey(const QString& file, const QString& section, const QString& key, const QString& value,
                 QString* error) {
  IniFile ini;
  // Writing over a file that could not be read would lose its other
  // contents, so that is a refused write as well.
  if (!ini.Load(file, error)) {
    return false;
  }
  ini.Write(section, key, value);
  return ini.Save(file, error);
}

}  // namespace zart::settings
