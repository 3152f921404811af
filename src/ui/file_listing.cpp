#include "ui/file_listing.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace zart::ui {
namespace {

bool IsPseudoFileSystem(const QString& type) {
  static const QStringList kPseudo{
      QStringLiteral(u"proc"),       QStringLiteral(u"sysfs"),      QStringLiteral(u"tmpfs"),
      QStringLiteral(u"devtmpfs"),   QStringLiteral(u"devpts"),     QStringLiteral(u"cgroup"),
      QStringLiteral(u"cgroup2"),    QStringLiteral(u"securityfs"), QStringLiteral(u"pstore"),
      QStringLiteral(u"debugfs"),    QStringLiteral(u"tracefs"),    QStringLiteral(u"configfs"),
      QStringLiteral(u"fusectl"),    QStringLiteral(u"mqueue"),     QStringLiteral(u"hugetlbfs"),
      QStringLiteral(u"binfmt_misc"), QStringLiteral(u"autofs"),    QStringLiteral(u"bpf"),
      QStringLiteral(u"efivarfs"),   QStringLiteral(u"squashfs"),   QStringLiteral(u"nsfs"),
      QStringLiteral(u"ramfs"),      QStringLiteral(u"rpc_pipefs"), QStringLiteral(u"overlay")};
  return kPseudo.contains(type, Qt::CaseInsensitive);
}

bool IsSystemMount(const QString& root) {
  auto under = [&root](const char16_t* prefix) {
    const QString p = QString::fromUtf16(prefix);
    return root == p || root.startsWith(p + QLatin1Char('/'));
  };
  if (under(u"/run/media")) return false;  // removable media of the desktop user
  return under(u"/proc") || under(u"/sys") || under(u"/dev") || under(u"/run") || under(u"/snap") ||
         under(u"/boot") || under(u"/var/lib/docker") || under(u"/etc");
}

}  // namespace

std::vector<FileRoot> FilterRoots(const std::vector<MountedVolume>& volumes) {
  std::vector<FileRoot> roots{{QStringLiteral(u"/"), QStringLiteral(u"/")}};
  for (const MountedVolume& v : volumes) {
    if (!v.valid) continue;
    const QString root = QDir::cleanPath(v.rootPath);
    if (root.isEmpty() || root == QStringLiteral(u"/")) continue;
    if (IsPseudoFileSystem(v.fileSystemType) || IsSystemMount(root)) continue;
    if (std::any_of(roots.begin(), roots.end(), [&root](const FileRoot& r) { return r.path == root; })) continue;
    const QString label = v.name.isEmpty() || v.name == root ? root : root + QStringLiteral(u" [") + v.name + QLatin1Char(']');
    roots.push_back({root, label});
  }
  return roots;
}

std::vector<FileRoot> CurrentRoots() {
#ifdef Q_OS_WIN
  std::vector<FileRoot> roots;
  for (const QFileInfo& drive : QDir::drives()) {
    const QString path = drive.absolutePath();
    roots.push_back({path, QDir::toNativeSeparators(path)});
  }
  return roots;
#else
  std::vector<MountedVolume> volumes;
  for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
    volumes.push_back({s.rootPath(), QString::fromLatin1(s.fileSystemType()), s.name(), s.isValid()});
  }
  return FilterRoots(volumes);
#endif
}

bool IsFilePatternValid(const QString& pattern) {
  const QStringList parts = pattern.split(QLatin1Char(';'));
  for (const QString& raw : parts) {
    const QString part = raw.trimmed();
    if (part.isEmpty()) return false;
    for (const QChar c : part) {
      if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c == QLatin1Char('<') ||
          c == QLatin1Char('>') || c == QLatin1Char('|') || c == QLatin1Char('"') || c.unicode() < 0x20) {
        return false;
      }
    }
    // A character class must close and hold at least one character.
    qsizetype open = -1;
    for (qsizetype k = 0; k < part.size(); ++k) {
      if (part[k] == QLatin1Char('[')) {
        if (open >= 0) return false;
        open = k;
      } else if (part[k] == QLatin1Char(']')) {
        if (open < 0 || k == open + 1) return false;
        open = -1;
      }
    }
    if (open >= 0) return false;
  }
  return true;
}

QStringList FilePatternFilters(const QString& pattern) {
  QStringList filters;
  for (const QString& raw : pattern.split(QLatin1Char(';'))) {
    const QString part = raw.trimmed();
    filters << (part == QStringLiteral(u"*.*") ? QStringLiteral(u"*") : part);
  }
  return filters;
}

bool IsPlaceReadable(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  return info.exists() && info.isDir() && info.isReadable() && info.isExecutable();
}

QStringList ListFolders(const QString& path) {
  return QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

QStringList ListFiles(const QString& path, const QStringList& filters) {
  // Without QDir::CaseSensitive the name filters match regardless of case.
  return QDir(path).entryList(filters, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

int RootIndexOf(const std::vector<FileRoot>& roots, const QString& path) {
  const QString clean = QDir::cleanPath(path);
  int best = -1;
  qsizetype bestLength = -1;
  for (std::size_t k = 0; k < roots.size(); ++k) {
    const QString& root = roots[k].path;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    const bool holds = clean == root || clean.startsWith(prefix);
    if (holds && root.size() > bestLength) {
      best = static_cast<int>(k);
      bestLength = root.size();
    }
  }
  return best;
}

}  // namespace zart::ui
