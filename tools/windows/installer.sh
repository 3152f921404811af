#!/usr/bin/env bash
# The Windows installer, made and tried by tools/build-windows:
#   installer.sh make STAGE BUILD DIST QTBIN
#       dist/zart-tool-windows-x64-setup.exe from the zip's folder STAGE
#       (without ПРОЧТИ.txt, which is about the unpacked zip), with
#       BUILD/bin/zart-cli.exe when the build made it and any Qt DLL from
#       QTBIN that a program imports and STAGE lacks, by zart-tool.nsi.
#   installer.sh check SETUP BUILD
#       under Wine: installs SETUP silently, checks the files, the
#       Start-menu entry and the uninstaller's registration, runs the
#       installed program against zart-sim (e2e-wine.sh, pictures into
#       BUILD/installed/), uninstalls silently and checks that nothing of
#       the program is left under "Program Files" nor in the registry.
# Needs WINEPREFIX (check) as tools/build-windows sets it.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
fail() { echo "installer: $*" >&2; exit 1; }

make_installer() {
  local stage=$1 build=$2 dist=$3 qtbin=$4
  local work=$build/installer
  local files=$work/files
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "$stage" "$files"
  rm -f "$files/ПРОЧТИ.txt"
  [ -f "$build/bin/zart-cli.exe" ] && cp "$build/bin/zart-cli.exe" "$files/"
  [ -f "$files/zart-tool.exe" ] || fail "no zart-tool.exe in $stage"
  # zart-cli.exe also talks through network gateways (Qt Network).
  local exe dll
  for exe in "$files"/*.exe; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: \(Qt6.*\.dll\)$/\1/p'); do
      [ -f "$files/$dll" ] || cp "$qtbin/$dll" "$files/" || fail "$exe needs $dll, not in $qtbin"
    done
  done

  # One File line a file, one Delete line a file, folders removed deepest
  # first, so the uninstaller takes away exactly what was installed.
  local nsh=$work/files.nsh dir rel f
  {
    echo '!macro InstallFiles'
    while IFS= read -r dir; do
      rel=${dir#.}
      echo "  SetOutPath \"\$INSTDIR${rel//\//\\}\""
      while IFS= read -r f; do
        echo "  File \"$files${rel}/$f\""
      done < <(cd "$files$rel" && find . -maxdepth 1 -type f -printf '%f\n' | sort)
    done < <(cd "$files" && find . -type d | sort)
    echo '!macroend'
    echo '!macro UninstallFiles'
    while IFS= read -r f; do
      f=${f#./}
      echo "  Delete \"\$INSTDIR\\${f//\//\\}\""
    done < <(cd "$files" && find . -type f | sort)
    while IFS= read -r dir; do
      dir=${dir#./}
      echo "  RMDir \"\$INSTDIR\\${dir//\//\\}\""
    done < <(cd "$files" && find . -mindepth 1 -type d | sort -r)
    echo '!macroend'
  } >"$nsh"

  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  [ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
  mkdir -p "$dist"
  local setup=$dist/zart-tool-windows-x64-setup.exe
  rm -f "$setup"
  makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES="$nsh" -DICON="$top/app/icons/zart-tool.ico" \
    -DSIZE_KB="$(du -sk "$files" | cut -f1)" -DOUTFILE="$setup" "$top/tools/windows/zart-tool.nsi" ||
    fail "makensis failed"
  echo "installer: $setup ($(du -h "$setup" | cut -f1))"
}

check_installer() {
  local setup=$1 build=$2
  : "${WINEPREFIX:?}"
  export WINEDEBUG=-all
  # The installed program must find every DLL in its own folder.
  unset WINEPATH
  local program_files="$WINEPREFIX/drive_c/Program Files"
  local installed="$program_files/ЗАРТ"
  local shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ЗАРТ. Тест протокола Modbus.lnk"
  local key='[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zart-tool]'
  registered() { wineserver -w; grep -qF "$key" "$WINEPREFIX/system.reg"; }

  # What an earlier, interrupted run left behind goes first.
  if [ -e "$installed/uninstall.exe" ]; then
    wine "$installed/uninstall.exe" /S || true
    wineserver -w
  fi
  rm -rf "$installed"

  wine "$setup" /S || fail "the silent install failed"
  wineserver -w
  local f
  for f in zart-tool.exe uninstall.exe Qt6Core.dll platforms/qwindows.dll translations/qtbase_ru.qm; do
    [ -f "$installed/$f" ] || fail "not installed: $installed/$f"
  done
  [ -f "$shortcut" ] || fail "no Start-menu entry: $shortcut"
  registered || fail "the uninstaller is not registered under HKLM\\${key:1:-1}"
  echo "installer: installed into C:\\Program Files\\ЗАРТ, Start-menu entry and uninstaller registered"
  if [ -f "$installed/zart-cli.exe" ]; then
    local said
    said=$(wine "$installed/zart-cli.exe" --version 2>&1 || true)
    [[ $said == "zart-cli "* ]] || fail "the installed zart-cli.exe does not start: $said"
  fi

  mkdir -p "$build/installed"
  ZART_WIN_APP=$installed ZART_WIN_SHOT="$build/installed/windows-wine.png" "$top/tools/windows/e2e-wine.sh" ||
    fail "the installed program failed its run against zart-sim"

  # The uninstaller copies itself away and runs from there; wineserver -w
  # waits for that copy too.
  wine "$installed/uninstall.exe" /S || fail "the silent uninstall failed"
  wineserver -w
  local left
  left=$(find "$program_files" -path "*ЗАРТ*" 2>/dev/null | head -n 5)
  [ -z "$left" ] || fail "left under Program Files after uninstalling: $left"
  [ ! -e "$shortcut" ] || fail "the Start-menu entry is left: $shortcut"
  ! registered || fail "the uninstaller's registration is left"
  echo "installer: uninstalled; nothing of the program left under Program Files"
}

case ${1:-} in
  make) make_installer "$2" "$3" "$4" "$5" ;;
  check) check_installer "$2" "$3" ;;
  *) fail "usage: installer.sh make STAGE BUILD DIST QTBIN | check SETUP BUILD" ;;
esac
