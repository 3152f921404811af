#include "settings/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "link/system_reason.h"
#include "settings/windows1251.h"

namespace zart::settings {
namespace {

// Settings and parameter files are a few tens of kilobytes; anything far
// beyond that is not one of ours and is refused rather than read into memory.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

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

QString fold(const QString& name) { return name.toCaseFolded(); }

void setError(QString* error, const QString& text) {
  if (error != nullptr) {
    *error = text;
  }
}

}  // namespace

bool IniFile::Load(const QString& path, QString* error) {
  m_sections.clear();
  m_sectionIndex.clear();
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
  m_sections.clear();
  m_sectionIndex.clear();
  m_sections.emplace_back();  // lines in front of the first header

  const qsizetype n = bytes.size();
  qsizetype start = 0;
  while (start < n) {
    qsizetype end = start;
    while (end < n && bytes[end] != '\r' && bytes[end] != '\n') {
      ++end;
    }
    qsizetype next = end;
    if (next < n) {
      next += (bytes[next] == '\r' && next + 1 < n && bytes[next + 1] == '\n') ? 2 : 1;
    }

    Line line;
    line.raw = bytes.mid(start, end - start);
    line.verbatim = true;
    const QString text = DecodeWindows1251(line.raw);
    const QString trimmed = trimBlanks(text);

    if (trimmed.startsWith(u'[') && trimmed.lastIndexOf(u']') > 0) {
      line.kind = Line::Kind::section;
      line.key = trimBlanks(trimmed.mid(1, trimmed.lastIndexOf(u']') - 1));
      Section section;
      section.hasHeader = true;
      section.lastKeyLine = 0;
      section.lines.append(std::move(line));
      const QString folded = fold(section.lines.front().key);
      // Of two sections with one name the first counts; the later one is
      // kept in the file but not reached.
      if (!m_sectionIndex.contains(folded)) {
        m_sectionIndex.insert(folded, m_sections.size());
      }
      m_sections.push_back(std::move(section));
    } else {
      Section& section = m_sections.back();
      const qsizetype eq = text.indexOf(u'=');
      const bool comment = trimmed.startsWith(u';') || trimmed.startsWith(u'#');
      if (section.hasHeader && !comment && eq > 0) {
        QString key = trimBlanks(text.left(eq));
        if (!key.isEmpty()) {
          line.kind = Line::Kind::key;
          line.value = text.mid(eq + 1);
          const QString folded = fold(key);
          if (!section.keys.contains(folded)) {
            section.keys.insert(folded, section.lines.size());
          }
          section.lastKeyLine = section.lines.size();
          line.key = std::move(key);
        }
      }
      section.lines.append(std::move(line));
    }
    start = next;
  }
}

const IniFile::Section* IniFile::findSection(const QString& section) const {
  const auto it = m_sectionIndex.constFind(fold(cleanName(section)));
  return it == m_sectionIndex.constEnd() ? nullptr : &m_sections[*it];
}

IniFile::Section& IniFile::sectionForWrite(const QString& section) {
  const QString name = cleanName(section);
  const QString folded = fold(name);
  const auto it = m_sectionIndex.constFind(folded);
  if (it != m_sectionIndex.constEnd()) {
    return m_sections[*it];
  }
  Line header;
  header.kind = Line::Kind::section;
  header.key = name;
  Section created;
  created.hasHeader = true;
  created.lastKeyLine = 0;
  created.lines.append(std::move(header));
  m_sectionIndex.insert(folded, m_sections.size());
  m_sections.push_back(std::move(created));
  return m_sections.back();
}

QString IniFile::Read(const QString& section, const QString& key, const QString& defaultValue) const {
  const Section* found = findSection(section);
  if (found == nullptr) {
    return defaultValue;
  }
  const auto it = found->keys.constFind(fold(cleanName(key)));
  if (it == found->keys.constEnd()) {
    return defaultValue;
  }
  return trimBlanks(found->lines[*it].value).left(kMaxValueLength);
}

void IniFile::Write(const QString& section, const QString& key, const QString& value) {
  const QString name = cleanName(key);
  if (name.isEmpty()) {
    return;
  }
  const QString text = oneLine(value);
  Section& target = sectionForWrite(section);
  const QString folded = fold(name);
  const auto it = target.keys.constFind(folded);
  if (it != target.keys.constEnd()) {
    Line& line = target.lines[*it];
    // A value that reads back the same keeps the line's bytes as they were,
    // so saving a whole parameter set over a hand-edited file keeps its layout.
    if (trimBlanks(line.value) != trimBlanks(text)) {
      line.value = text;
      line.verbatim = false;
      line.raw.clear();
    }
    return;
  }
  // After the section's last key, so that blank lines and comments that
  // separate it from the next section stay where they are. Only non-key
  // lines follow that point, so the key index stays valid.
  Line line;
  line.kind = Line::Kind::key;
  line.key = name;
  line.value = text;
  const qsizetype at = target.lastKeyLine + 1;
  target.lines.insert(at, std::move(line));
  target.keys.insert(folded, at);
  target.lastKeyLine = at;
}

QStringList IniFile::Keys(const QString& section) const {
  QStringList keys;
  const Section* found = findSection(section);
  if (found == nullptr) {
    return keys;
  }
  for (qsizetype i = 0; i < found->lines.size(); ++i) {
    const Line& line = found->lines[i];
    if (line.kind == Line::Kind::key && found->keys.value(fold(line.key), -1) == i) {
      keys.append(line.key);
    }
  }
  return keys;
}

QByteArray IniFile::Serialize() const {
  QByteArray out;
  for (const Section& section : m_sections) {
    for (const Line& line : section.lines) {
      if (line.verbatim) {
        out.append(line.raw);
      } else if (line.kind == Line::Kind::section) {
        out.append('[');
        out.append(EncodeWindows1251(line.key));
        out.append(']');
      } else {
        out.append(EncodeWindows1251(line.key));
        out.append('=');
        out.append(EncodeWindows1251(line.value));
      }
      out.append("\r\n");
    }
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
