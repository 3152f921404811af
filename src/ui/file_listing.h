#pragma once

#include <vector>

#include <QString>
#include <QStringList>

namespace zart::ui {

/// A place the user can pick in the drive list: a drive letter on Windows,
/// the file-system root or a mounted volume elsewhere.
struct FileRoot {
  QString path;   ///< root path, e.g. "/" or "/media/user/USB"
  QString label;  ///< what the drive list shows
  friend bool operator==(const FileRoot&, const FileRoot&) = default;
};

/// A mounted volume as the operating system reports it.
struct MountedVolume {
  QString rootPath;
  QString fileSystemType;
  QString name;
  bool valid = true;
};

/// The roots worth offering from a list of mounted volumes: "/" first, then
/// volumes a user keeps files on, in the given order. Pseudo file systems
/// (proc, sysfs, tmpfs, cgroup, …) and system mounts under /proc, /sys, /dev,
/// /run (except removable media under /run/media), /snap and /boot are left
/// out, and each root is listed once.
std::vector<FileRoot> FilterRoots(const std::vector<MountedVolume>& volumes);

/// The roots of this computer now: drive letters on Windows, otherwise
/// FilterRoots over QStorageInfo::mountedVolumes().
std::vector<FileRoot> CurrentRoots();

/// Whether the file list accepts `pattern`: one or more wildcard patterns
/// separated by ";", none empty, without path separators or characters a
/// file name cannot hold, every "[" closed by a later "]".
bool IsFilePatternValid(const QString& pattern);

/// The name filters for a valid pattern; "*.*" means every file, as on the
/// controller's service PCs.
QStringList FilePatternFilters(const QString& pattern);

/// Whether a folder can be listed (exists, is a folder, readable, enterable).
bool IsPlaceReadable(const QString& path);

/// Subfolders of `path`, sorted by name without regard to case.
QStringList ListFolders(const QString& path);

/// Files of `path` whose names match `filters` (case-insensitive), sorted.
QStringList ListFiles(const QString& path, const QStringList& filters);

/// The root in `roots` that holds `path` (longest matching root path), or
/// -1 when none does.
int RootIndexOf(const std::vector<FileRoot>& roots, const QString& path);

}  // namespace zart::ui
