#!/usr/bin/env bash
# Builds Qt 6 for 64-bit Windows from Debian's own Qt source, once, into a
# cache outside the repository:
#   ${ZART_WIN_CACHE:-~/.cache/zart}/qt-6.4.2-mingw
# Safe to run again: it does nothing when that tree is complete. Debian's host
# Qt (same version) lends its moc, rcc and uic to the cross-build.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache=${ZART_WIN_CACHE:-$HOME/.cache/zart}
version=6.4.2
prefix=$cache/qt-$version-mingw
# The stamp names what the tree was built with, so a tree from before the
# network module was switched on is built again.
stamp=$prefix/.complete-network

if [ -f "$stamp" ]; then
  echo "Qt for Windows: $prefix (already built)"
  exit 0
fi

src=$cache/src
apt_dir=$cache/apt
mkdir -p "$src" "$apt_dir/lists/partial" "$apt_dir/parts" "$apt_dir/cache/archives/partial"

# A private apt configuration that knows the Debian suite's source packages,
# so the system's own apt setup is left as it is.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main" \
  >"$apt_dir/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")

tree=$src/qtbase-everywhere-src-$version
if [ ! -f "$tree/CMakeLists.txt" ]; then
  orig=$(ls "$src"/qt6-base_"$version"*.orig.tar.xz 2>/dev/null | head -n1 || true)
  if [ -z "$orig" ]; then
    echo "Fetching Debian's qt6-base source"
    apt-get "${apt_opts[@]}" update -q
    (cd "$src" && apt-get "${apt_opts[@]}" source --download-only qt6-base)
    orig=$(ls "$src"/qt6-base_"$version"*.orig.tar.xz | head -n1)
  fi
  rm -rf "$tree"
  tar -xJf "$orig" -C "$src"
fi

build=$src/qtbase-build
rm -rf "$build" "$prefix"
echo "Configuring Qt $version for Windows (x86_64-w64-mingw32)"
cmake -G Ninja -S "$tree" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr \
  -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo \
  -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_network=ON -DFEATURE_ssl=OFF -DFEATURE_schannel=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_dbus=OFF \
  -DFEATURE_concurrent=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF \
  -DFEATURE_vulkan=OFF \
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
  -DFEATURE_tabletevent=OFF \
  -DFEATURE_androiddeployqt=OFF

echo "Building Qt $version for Windows (about half an hour on two cores)"
cmake --build "$build" --parallel "$(nproc)"
cmake --install "$build"
touch "$stamp"
rm -rf "$build"
echo "Qt for Windows: $prefix"
