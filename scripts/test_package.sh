#!/usr/bin/env bash
# Builds the Debian package from an existing build tree and checks it: lintian without errors,
# valid desktop entries, exactly the expected files with their modes, the dependencies, the
# postinst and the launcher. Usage: scripts/test_package.sh [BUILD-DIR] (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
deb=$build/tamberline_1.05_amd64.deb
fail() {
  echo "package check: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB >/dev/null)
[ -f "$deb" ] || fail "cpack made no $deb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Owner, mode and path of every file, against the list of what belongs in the package.
expected="root/root -rwxr-xr-x usr/bin/tamberline
root/root -rwxr-xr-x usr/bin/tamberline-sim
root/root -rwxr-xr-x usr/sbin/tamberlined
root/root -rw-r--r-- lib/systemd/system/tamberlined.service
root/root -rwxr-xr-x usr/libexec/tamberline/tamberline-start
root/root -rw-r--r-- usr/share/applications/tamberline.desktop
root/root -rw-r--r-- usr/share/tamberline/tamberline-autostart.desktop
root/root -rw-r--r-- usr/share/doc/tamberline/README.md
root/root -rw-r--r-- usr/share/doc/tamberline/changelog.gz
root/root -rw-r--r-- usr/share/doc/tamberline/copyright
root/root -rw-r--r-- usr/share/man/man1/tamberline.1.gz
root/root -rw-r--r-- usr/share/man/man1/tamberline-sim.1.gz
root/root -rw-r--r-- usr/share/man/man8/tamberlined.8.gz
root/root -rw-r--r-- usr/share/icons/hicolor/scalable/apps/tamberline.svg"
sizes="16 22 24 32 48 64 128 256"
for s in $sizes; do
  expected+=$'\n'"root/root -rw-r--r-- usr/share/icons/hicolor/${s}x${s}/apps/tamberline.png"
done
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $2, $1, $6 }' | sort)
diff <(sort <<<"$expected") <(echo "$actual") >"$work/files.diff" || {
  cat "$work/files.diff" >&2
  fail "files or modes differ from the list (< expected, > in the package)"
}
bad_dirs=$(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")')
[ -z "$bad_dirs" ] || fail "directories not root-owned 0755: $bad_dirs"

# Control: the version, the dependencies from the binaries plus the maintainer scripts', the scripts.
dpkg-deb -e "$deb" "$work/control"
[ "$(dpkg-deb -f "$deb" Version)" = "1.05" ] || fail "version is not 1.05"
depends=$(dpkg-deb -f "$deb" Depends)
for d in adduser init-system-helpers libqt6widgets6 libc6; do
  grep -qw "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
for script in postinst prerm postrm; do
  [ "$(stat -c %a "$work/control/$script")" = 755 ] || fail "$script is not 0755"
  sh -n "$work/control/$script" || fail "$script is not valid sh"
done
grep -q 'addgroup --system --quiet tamberline' "$work/control/postinst" || fail "postinst makes no group tamberline"
grep -q "deb-systemd-helper enable 'tamberlined.service'" "$work/control/postinst" || fail "postinst enables no service"
! grep -q setcap "$work/control/postinst" || fail "postinst still gives the window a right of its own"

dpkg-deb -x "$deb" "$work/root"
for f in usr/share/applications/tamberline.desktop usr/share/tamberline/tamberline-autostart.desktop; do
  desktop-file-validate "$work/root/$f" || fail "$f is not a valid desktop entry"
  grep -qx 'Exec=/usr/libexec/tamberline/tamberline-start' "$work/root/$f" || fail "$f does not start the launcher"
done
for s in $sizes; do
  got=$(identify -format '%wx%h' "$work/root/usr/share/icons/hicolor/${s}x${s}/apps/tamberline.png")
  [ "$got" = "${s}x${s}" ] || fail "the ${s}x${s} icon is $got"
done

# The launcher makes the settings folder when missing and starts the program in it; a stand-in
# that prints its directory takes the program's place. Spaces in the home path must survive.
sed 's|^exec /usr/bin/tamberline |exec pwd |' "$work/root/usr/libexec/tamberline/tamberline-start" >"$work/start"
home="$work/home dir"
mkdir -p "$home"
[ "$(HOME=$home XDG_CONFIG_HOME= sh "$work/start")" = "$home/.config/tamberline" ] || fail "launcher: not in ~/.config/tamberline"
[ "$(HOME=$home XDG_CONFIG_HOME="$home/cfg" sh "$work/start")" = "$home/cfg/tamberline" ] ||
  fail "launcher: XDG_CONFIG_HOME not followed"

lintian --fail-on error "$deb" | tee "$work/lintian.txt" ||
  fail "lintian reports errors"
echo "package check: $deb passed ($(grep -c '^W:' "$work/lintian.txt" || true) lintian warnings)"
