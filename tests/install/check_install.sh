#!/usr/bin/env bash
# Checks what `cmake --install` and `cpack -G DEB` make of a build.
#
#   check_install.sh CHECK BUILD_DIR WORK_DIR VERSION
#
# CHECK is one of:
#   stage      install BUILD_DIR with prefix /usr into WORK_DIR/stage (DESTDIR)
#   layout     the staged files: programs, icons, man pages, desktop entry,
#              AppStream data, copyright; nothing else; the programs run
#   desktop    the desktop entry passes desktop-file-validate and starts
#              `verdelo --desktop` with an icon that is installed
#   appstream  the metainfo passes `appstreamcli validate --no-net` and names
#              this version and the screenshots
#   manpages   each man page names every option its program's --help lists
#   deb        build the Debian package of BUILD_DIR into WORK_DIR/deb
#   debfiles   the package's name, control fields and file list
#   lintian    lintian finds no error in the package
# Exits 0 when the check passes, 1 when it fails and 77 (skipped) when a
# tool it needs is not installed.
set -uo pipefail

check=$1 build=$2 work=$3 version=$4
stage=$work/stage
arch=$(dpkg --print-architecture 2>/dev/null || echo amd64)
deb=$work/deb/verdelo_${version}_$arch.deb
app_id=org.example.verdelo
icon_sizes=(16 32 48 64 128 256)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$check: $failures failure(s)"
    exit 1
  fi
  echo "$check: passed"
  exit 0
}
need() {
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "SKIP: $1 is not installed (Debian package $2; scripts/bootstrap installs it)"
    exit 77
  fi
}

# "WIDTHxHEIGHT" of a PNG file from its IHDR chunk, or nothing when the
# file is no PNG.
png_size() {
  local signature
  signature=$(od -An -tx1 -N8 "$1" | tr -d ' \n')
  [ "$signature" = 89504e470d0a1a0a ] || return 1
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%dx%d", (($1 * 256 + $2) * 256 + $3) * 256 + $4, (($5 * 256 + $6) * 256 + $7) * 256 + $8 }'
}

# The options a program's --help lists: the leading -x and --xxx of its
# option lines.
help_options() {
  "$1" --help | grep -E '^ +-' | grep -oE '^ +(-[A-Za-z], )?--?[A-Za-z][A-Za-z-]*' | grep -oE -- '--?[A-Za-z][A-Za-z-]*'
}

# A man page as plain text: roff's escaped hyphens and font changes removed.
man_text() {
  gzip -dc "$1" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\[,\/]//g'
}

# The files below a folder, as paths relative to it ("usr/bin/verdelo").
files_below() {
  (cd "$1" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
}

# What an installation holds; the man pages only where help2man can make
# them (the build warns when it cannot).
expected_files() {
  printf '%s\n' usr/bin/verdelo usr/bin/verdelo-mower \
    "usr/share/applications/$app_id.desktop" "usr/share/metainfo/$app_id.metainfo.xml" \
    usr/share/doc/verdelo/copyright usr/share/doc/verdelo/changelog.gz
  if command -v help2man >/dev/null 2>&1; then
    printf '%s\n' usr/share/man/man1/verdelo.1.gz usr/share/man/man1/verdelo-mower.1.gz
  fi
  for size in "${icon_sizes[@]}"; do
    echo "usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  done
}

case $check in
  stage)
    rm -rf "$stage"
    DESTDIR=$stage cmake --install "$build" --prefix /usr || fail "cmake --install failed"
    finish
    ;;

  layout)
    missing=$(comm -23 <(expected_files | sort) <(files_below "$stage"))
    extra=$(comm -13 <(expected_files | sort) <(files_below "$stage"))
    [ -z "$missing" ] || fail "not installed: $(echo $missing)"
    [ -z "$extra" ] || fail "installed but not expected: $(echo $extra)"
    for program in verdelo verdelo-mower; do
      [ -x "$stage/usr/bin/$program" ] || fail "usr/bin/$program is not executable"
    done
    for size in "${icon_sizes[@]}"; do
      icon=$stage/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
      [ -f "$icon" ] || continue
      got=$(png_size "$icon") || { fail "$icon is not a PNG file"; continue; }
      [ "$got" = "${size}x${size}" ] || fail "$icon is $got pixels, not ${size}x${size}"
    done
    # The installed programs run from where they were put.
    got=$("$stage/usr/bin/verdelo" --version 2>&1) || fail "installed verdelo --version exited $?"
    [ "$got" = "verdelo $version" ] || fail "installed verdelo --version printed '$got', not 'verdelo $version'"
    "$stage/usr/bin/verdelo-mower" --help >/dev/null || fail "installed verdelo-mower --help exited $?"
    finish
    ;;

  desktop)
    need desktop-file-validate desktop-file-utils
    entry=$stage/usr/share/applications/$app_id.desktop
    [ -f "$entry" ] || { fail "no desktop entry at $entry"; finish; }
    desktop-file-validate "$entry" || fail "desktop-file-validate found problems in $entry"
    exec_line=$(grep -E '^Exec=' "$entry")
    [ "$exec_line" = "Exec=verdelo --desktop" ] || fail "the entry starts '$exec_line', not 'verdelo --desktop'"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    for size in "${icon_sizes[@]}"; do
      [ -f "$stage/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] ||
        fail "the entry's icon '$icon' has no ${size}x${size} file in the hicolor theme"
    done
    finish
    ;;

  appstream)
    need appstreamcli appstream
    metainfo=$stage/usr/share/metainfo/$app_id.metainfo.xml
    [ -f "$metainfo" ] || { fail "no AppStream file at $metainfo"; finish; }
    appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate found problems in $metainfo"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo names no release $version"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
      fail "the metainfo does not launch $app_id.desktop"
    for shot in verdelo-console.png verdelo-port.png; do
      grep -q "<image[^>]*>https://[^<]*/$shot</image>" "$metainfo" || fail "the metainfo shows no screenshot $shot"
    done
    finish
    ;;

  manpages)
    need help2man help2man
    for program in verdelo verdelo-mower; do
      page=$stage/usr/share/man/man1/$program.1.gz
      [ -f "$page" ] || { fail "no man page $page"; continue; }
      text=$(man_text "$page") || { fail "$page is not gzip-compressed"; continue; }
      grep -qE "^\.TH \"?${program^^}\"? \"?1\"? .*\"$program $version\"" <<<"$text" ||
        fail "$page has no title line for $program $version"
      options=$(help_options "$build/bin/$program")
      [ -n "$options" ] || fail "$program --help listed no options"
      for option in $options; do
        grep -qE -- "(^|[^A-Za-z-])$option([^A-Za-z-]|\$)" <<<"$text" ||
          fail "$page does not mention $option of $program --help"
      done
    done
    finish
    ;;

  deb)
    need dpkg-shlibdeps dpkg-dev
    rm -rf "$work/deb"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" || fail "cpack -G DEB failed"
    [ -f "$deb" ] || fail "cpack made no $deb: $(ls "$work/deb")"
    finish
    ;;

  debfiles)
    need dpkg-deb dpkg
    dpkg-deb --info "$deb" >/dev/null || { fail "dpkg-deb cannot read $deb"; finish; }
    field() { dpkg-deb --field "$deb" "$1"; }
    [ "$(field Package)" = verdelo ] || fail "Package is '$(field Package)'"
    [ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
    [ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
    for name in Maintainer Section Priority Homepage; do
      [ -n "$(field $name)" ] || fail "the control file has no $name"
    done
    # A synopsis and an extended description.
    [ "$(field Description | wc -l)" -ge 3 ] || fail "the description has no extended part"
    # Depends as dpkg-shlibdeps finds them: the libraries the programs link.
    depends=$(field Depends)
    depended=$(sed -e 's/ *([^)]*)//g' -e 's/ *, */\n/g' <<<"$depends")
    for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libudev1; do
      grep -qxF "$library" <<<"$depended" || fail "Depends lacks $library: $depends"
    done
    # The package holds exactly what `cmake --install` puts below /usr.
    contents=$(dpkg-deb --contents "$deb") || fail "dpkg-deb --contents failed"
    packaged=$(awk '$1 !~ /^d/ { print $6 }' <<<"$contents" | sed 's|^\./||' | sort)
    staged=$(files_below "$stage")
    [ "$packaged" = "$staged" ] ||
      fail "the package and the installation differ:$(diff <(echo "$staged") <(echo "$packaged") | sed 's/^/ /')"
    finish
    ;;

  lintian)
    need lintian lintian
    report=$(lintian --info "$deb" 2>&1)
    status=$?
    echo "$report"
    errors=$(grep -E '^E: ' <<<"$report")
    [ -z "$errors" ] || fail "lintian reports errors:
$errors"
    [ -n "$errors" ] || [ "$status" -eq 0 ] || fail "lintian exited $status"
    finish
    ;;

  *)
    echo "unknown check '$check'"
    exit 2
    ;;
esac
