#!/usr/bin/env bash
# Checks what `cmake --install` and `cpack -G DEB` make of a build.
#
#   check_install.sh CHECK BUILD_DIR WORK_DIR VERSION
#
# CHECK is one of:
#   stage      install BUILD_DIR with prefix /usr into WORK_DIR/stage (DESTDIR)
#   layout     the staged files: programs, icons, man pages, desktop entry,
#              AppStream data, copyright, the service's unit, example config
#              and logrotate snippet; nothing else; the programs run
#   desktop    the desktop entry passes desktop-file-validate and starts
#              `verdelo --desktop` with an icon that is installed
#   appstream  the metainfo passes `appstreamcli validate --no-net` and names
#              this version and the screenshots
#   manpages   each man page names every option its program's --help lists
#   unit       the staged systemd unit passes `systemd-analyze verify` for two
#              instances and `systemd-analyze security` rates it 2.0 at most;
#              logrotate reads the service's snippet
#   deb        build the Debian packages of BUILD_DIR into WORK_DIR/deb
#   debfiles   the verdelo package's name, control fields and file list
#   servicefiles  the same of the verdelo-service package, its conffiles and
#              Depends without Qt or a display's libraries
#   lintian    lintian finds no error in the packages
# Exits 0 when the check passes, 1 when it fails and 77 (skipped) when a
# tool it needs is not installed.
set -uo pipefail

check=$1 build=$2 work=$3 version=$4
stage=$work/stage
arch=$(dpkg --print-architecture 2>/dev/null || echo amd64)
deb=$work/deb/verdelo_${version}_$arch.deb
service_deb=$work/deb/verdelo-service_${version}_$arch.deb
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

# What the verdelo-service package holds of an installation, and what an
# installation holds in all; the man pages only where help2man can make them
# (the build warns when it cannot).
service_files() {
  printf '%s\n' usr/bin/verdelo-service usr/lib/systemd/system/verdelo-service@.service \
    etc/verdelo/garden.conf etc/logrotate.d/verdelo-service \
    usr/share/doc/verdelo-service/copyright usr/share/doc/verdelo-service/changelog.gz \
    usr/share/lintian/overrides/verdelo-service
  if command -v help2man >/dev/null 2>&1; then echo usr/share/man/man8/verdelo-service.8.gz; fi
}
expected_files() {
  service_files
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
    "$stage/usr/bin/verdelo-service" --version >/dev/null || fail "installed verdelo-service --version exited $?"
    # The example config reads without a warning.
    "$build/bin/verdelo-service" --check-config --config "$stage/etc/verdelo/garden.conf" ||
      fail "verdelo-service --check-config warns about etc/verdelo/garden.conf"
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
    for entry in verdelo:1 verdelo-mower:1 verdelo-service:8; do
      program=${entry%:*} section=${entry#*:}
      page=$stage/usr/share/man/man$section/$program.$section.gz
      [ -f "$page" ] || { fail "no man page $page"; continue; }
      text=$(man_text "$page") || { fail "$page is not gzip-compressed"; continue; }
      grep -qE "^\.TH \"?${program^^}\"? \"?$section\"? .*\"$program $version\"" <<<"$text" ||
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

  unit)
    need systemd-analyze systemd
    unit=$stage/usr/lib/systemd/system/verdelo-service@.service
    [ -f "$unit" ] || { fail "no unit at $unit"; finish; }
    grep -qE '^ExecStart=/usr/bin/verdelo-service ' "$unit" || fail "the unit does not start /usr/bin/verdelo-service"
    # verify wants the programs the unit runs and the units it names below
    # its --root: a root of the staged service, the system's units and kill.
    kill=$(type -P kill) || { echo "SKIP: no kill program (Debian package procps)"; exit 77; }
    root=$work/unit-root
    rm -rf "$root"
    mkdir -p "$root/usr/bin" "$root/usr/lib/systemd"
    cp -r /usr/lib/systemd/system "$root/usr/lib/systemd/"
    cp "$unit" "$root/usr/lib/systemd/system/"
    cp "$stage/usr/bin/verdelo-service" "$kill" "$root/usr/bin/"
    ln -s usr/bin "$root/bin"
    # verify reports a line it cannot read on its output and still exits 0.
    report=$(systemd-analyze verify --root="$root" --man=no verdelo-service@front.service verdelo-service@back.service 2>&1)
    status=$?
    [ "$status" -eq 0 ] && [ -z "$report" ] || fail "systemd-analyze verify found problems (exit $status): $report"
    report=$(systemd-analyze security --offline=true --no-pager "$unit" 2>&1) || fail "systemd-analyze security exited $?"
    exposure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' <<<"$report")
    echo "exposure: ${exposure:-none}"
    [ -n "$exposure" ] || fail "systemd-analyze security printed no exposure level: $report"
    [ -z "$exposure" ] || awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }' ||
      fail "the unit's exposure is $exposure, above 2.0:$(grep '✗' <<<"$report" | sed 's/^/ /')"
    # logrotate reads the snippet without an error (a pattern matching no
    # log rotates nothing).
    need logrotate logrotate
    report=$(logrotate --debug --state "$work/logrotate.state" "$stage/etc/logrotate.d/verdelo-service" 2>&1) ||
      fail "logrotate rejects etc/logrotate.d/verdelo-service: $(grep error <<<"$report")"
    finish
    ;;

  deb)
    need dpkg-shlibdeps dpkg-dev
    rm -rf "$work/deb"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" || fail "cpack -G DEB failed"
    for package in "$deb" "$service_deb"; do
      [ -f "$package" ] || fail "cpack made no $package: $(ls "$work/deb")"
    done
    finish
    ;;

  debfiles | servicefiles)
    need dpkg-deb dpkg
    if [ "$check" = debfiles ]; then
      name=verdelo libraries="libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libudev1"
    else
      name=verdelo-service deb=$service_deb libraries="libc6 libstdc++6 libsystemd0 libudev1 libmosquitto1"
    fi
    dpkg-deb --info "$deb" >/dev/null || { fail "dpkg-deb cannot read $deb"; finish; }
    field() { dpkg-deb --field "$deb" "$1"; }
    [ "$(field Package)" = "$name" ] || fail "Package is '$(field Package)', not $name"
    [ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
    [ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
    for field_name in Maintainer Section Priority Homepage; do
      [ -n "$(field $field_name)" ] || fail "the control file has no $field_name"
    done
    # A synopsis of its own and an extended description.
    [ "$(field Description | wc -l)" -ge 3 ] || fail "the description has no extended part"
    # Depends as dpkg-shlibdeps finds them: the libraries the programs link.
    depends=$(field Depends)
    echo "Depends: $depends"
    depended=$(sed -e 's/ *([^)]*)//g' -e 's/ *, */\n/g' <<<"$depends")
    for library in $libraries; do
      grep -qxF "$library" <<<"$depended" || fail "Depends lacks $library: $depends"
    done
    packaged() { dpkg-deb --contents "$1" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort; }
    if [ "$check" = debfiles ]; then
      [ "$(field Description | head -1)" != "$(dpkg-deb --field "$service_deb" Description | head -1)" ] ||
        fail "both packages have the synopsis '$(field Description | head -1)'"
      # The two packages together hold exactly what `cmake --install` puts
      # on a machine.
      got=$(sort <(packaged "$deb") <(packaged "$service_deb"))
      staged=$(files_below "$stage")
      [ "$got" = "$staged" ] ||
        fail "the packages and the installation differ:$(diff <(echo "$staged") <(echo "$got") | sed 's/^/ /')"
      finish
    fi
    # The service runs where no display is: nothing of Qt, X or Wayland.
    display=$(grep -iE '^(libqt|libx|libwayland|libgl|libegl|libxkb)' <<<"$depended")
    [ -z "$display" ] || fail "Depends has libraries of a display: $(echo $display)"
    got=$(packaged "$deb")
    [ "$got" = "$(service_files | sort)" ] ||
      fail "the package holds other files:$(diff <(service_files | sort) <(echo "$got") | sed 's/^/ /')"
    # Files in /etc are the administrator's: dpkg keeps their edits.
    conffiles=$(dpkg-deb --info "$deb" conffiles 2>/dev/null | sort)
    [ "$conffiles" = "$(service_files | grep '^etc/' | sed 's|^|/|' | sort)" ] ||
      fail "the conffiles are '$(echo $conffiles)', not the files in /etc"
    for script in postinst prerm postrm; do
      dpkg-deb --info "$deb" "$script" >/dev/null 2>&1 || fail "the package has no $script"
    done
    finish
    ;;

  lintian)
    need lintian lintian
    for package in "$deb" "$service_deb"; do
      report=$(lintian --info "$package" 2>&1)
      status=$?
      echo "$report"
      errors=$(grep -E '^E: ' <<<"$report")
      [ -z "$errors" ] || fail "lintian reports errors in $package:
$errors"
      [ -n "$errors" ] || [ "$status" -eq 0 ] || fail "lintian exited $status on $package"
    done
    finish
    ;;

  *)
    echo "unknown check '$check'"
    exit 2
    ;;
esac
