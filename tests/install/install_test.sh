#!/usr/bin/env bash
# make install and make uninstall, done the way the Makefile does them, into a temporary prefix:
#   install_test.sh BUILD_DIR SOURCE_DIR
# The prefix holds a space, a dollar sign and a percent sign, which the desktop entry must quote.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/my \$prefix 100%"
program="$prefix/lib/quillwatch"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
install_into_prefix() {
  cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "install"; }
}
uninstall_from_prefix() {
  cmake -DPREFIX="$prefix" -P "$source/cmake/Uninstall.cmake" >"$work/uninstall.log" 2>&1 ||
    { cat "$work/uninstall.log"; fail "uninstall"; }
}
# Every file and link under the prefix, relative to it, sorted.
tree() { (cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort); }
expect_tree() {
  local label=$1 want
  shift
  want=$(printf '%s\n' "$@" | LC_ALL=C sort)
  [ "$(tree)" = "$want" ] || fail "$label: the prefix holds"$'\n'"$(tree)"$'\n'"instead of"$'\n'"$want"
}
checksum() { cksum <"$1"; }
# Width and height of a PNG, from its header.
png_size() {
  local b
  read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
  echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

# A fresh install: exactly these files, and a starter database.
install_into_prefix
expect_tree "fresh install" bin/quillwatch bin/qw-propose bin/qw-schemes lib/quillwatch/quillwatch \
  lib/quillwatch/quillwatch-homepage lib/quillwatch/quillwatch-render lib/quillwatch/qw-propose \
  lib/quillwatch/qw-schemes lib/quillwatch/mavo.sdb share/applications/quillwatch.desktop \
  share/icons/hicolor/48x48/apps/quillwatch.png share/icons/hicolor/256x256/apps/quillwatch.png
[ -L "$prefix/bin/quillwatch" ] || fail "bin/quillwatch is not a link"
[ "$(readlink -f "$prefix/bin/quillwatch")" = "$(readlink -f "$program/quillwatch")" ] ||
  fail "bin/quillwatch points at $(readlink "$prefix/bin/quillwatch")"
for exe in quillwatch quillwatch-homepage quillwatch-render qw-propose qw-schemes; do
  [ -x "$program/$exe" ] || fail "$exe is not executable"
done
[ -L "$prefix/bin/qw-schemes" ] || fail "bin/qw-schemes is not a link"
# The tool runs through its link: the starter database holds no scheme, so the file lists none.
"$prefix/bin/qw-schemes" export "$program/mavo.sdb" - 2>/dev/null | grep -q '"schemes": \[\]' ||
  fail "qw-schemes did not export from the installed database"
# qw-propose through its link: JSON for a saved list page, status 2 and a message for a file that is not there.
page="$work/list.html"
{
  printf '<html><body><ul class="list">'
  for i in 5 4 3 2 1; do printf '<li><a href="/news/%s.html">News item number %s of the list</a></li>' "$i" "$i"; done
  printf '</ul></body></html>'
} >"$page"
proposal=$("$prefix/bin/qw-propose" --address http://news.example/ "$page") || fail "qw-propose failed on a list page"
grep -q '"url": "http://news.example/news/5.html"' <<<"$proposal" || fail "qw-propose gave"$'\n'"$proposal"
printf '<html><body><p>Nothing repeats here.</p></body></html>' >"$work/plain.html"
[ "$("$prefix/bin/qw-propose" "$work/plain.html" | tr -d ' \n')" = '{"candidates":[]}' ] ||
  fail "qw-propose on a page where nothing repeats"
status=0
"$prefix/bin/qw-propose" "$work/missing.html" 2>"$work/propose.err" >/dev/null || status=$?
[ "$status" = 2 ] && grep -q "cannot read" "$work/propose.err" || fail "qw-propose on a missing file: status $status"
[ -w "$program" ] || fail "the program's directory is not writable"
# The installed program looks for its helper beside itself, never in the folder it was built in.
# (Texts of Qt's string literals are UTF-16: with the zero bytes taken out they read as ASCII.)
if tr -d '\0' <"$program/quillwatch" | grep -acF "$(cd "$build" && pwd)/bin" >/dev/null; then
  fail "the program names its build folder"
fi
for size in 48 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/quillwatch.png"
  [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "icon $size is $(png_size "$icon")"
done
[ "$(head -c 15 "$program/mavo.sdb")" = "SQLite format 3" ] || fail "mavo.sdb is no SQLite database"
grep -aq "CREATE TABLE rule" "$program/mavo.sdb" && grep -aq "CREATE TABLE info" "$program/mavo.sdb" ||
  fail "mavo.sdb lacks the program's tables"

# The installed renderer starts its engine and answers a job: a page where nothing listens fails with the
# engine's reason. Its input stays open until the answer is in, as the program keeps it.
coproc renderer { "$program/quillwatch-render" 2>"$work/render.log"; }
printf '{"id":7,"url":"http://127.0.0.1:1/"}\n' >&"${renderer[1]}"
answer=
read -r -t 60 answer <&"${renderer[0]}" || true
exec {renderer[1]}>&-
wait "$renderer_PID" || true
case $answer in
  *'"error":"页面打不开'*'"id":7'*) ;;
  *) cat "$work/render.log"; fail "the installed renderer answered: $answer" ;;
esac

# The desktop entry: valid, and its Exec (unquoted, unescaped) is the link.
entry="$prefix/share/applications/quillwatch.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate"
else
  for key in '^\[Desktop Entry\]$' '^Type=Application$' '^Name=Quillwatch$' '^Icon=quillwatch$'; do
    grep -q "$key" "$entry" || fail "the desktop entry lacks $key"
  done
fi
exec_value=$(sed -n 's/^Exec=//p' "$entry")
exec_path=$(printf '%s' "$exec_value" | sed -e 's/^"\(.*\)"$/\1/' -e 's/\\\\/\\/g' -e 's/\\\(["`$\\]\)/\1/g' -e 's/%%/%/g')
[ "$exec_path" = "$prefix/bin/quillwatch" ] || fail "Exec=$exec_value names $exec_path"

# Started through the link, the program opens the database beside the real file.
ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/quillwatch" >"$work/run.log" 2>&1 &
pid=$!
opened=no
for _ in $(seq 200); do
  for fd in /proc/$pid/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = "$(readlink -f "$program/mavo.sdb")" ] && opened=yes
  done
  [ $opened = yes ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
kill -TERM $pid 2>/dev/null || true
status=0
wait $pid || status=$?
[ $opened = yes ] || { cat "$work/run.log"; fail "the installed program did not open $program/mavo.sdb"; }
[ $status -eq 0 ] || { cat "$work/run.log"; fail "the installed program ended with $status"; }

# A reinstall keeps the user's database, and a link standing for one even when what it names is gone.
printf 'the user'"'"'s articles' >>"$program/mavo.sdb"
database=$(checksum "$program/mavo.sdb")
install_into_prefix
[ "$(checksum "$program/mavo.sdb")" = "$database" ] || fail "a reinstall changed mavo.sdb"
mv "$program/mavo.sdb" "$work/mavo.sdb"
ln -s "$work/unmounted/mavo.sdb" "$program/mavo.sdb"
install_into_prefix
[ "$(readlink "$program/mavo.sdb")" = "$work/unmounted/mavo.sdb" ] || fail "a reinstall replaced the link mavo.sdb"
rm "$program/mavo.sdb"
mv "$work/mavo.sdb" "$program/mavo.sdb"

# Uninstall leaves the database and the settings, and an install after it finds them as they were.
printf '[配置]\r\n语音提醒=1\r\n' >"$program/mavonet.ini"
settings=$(checksum "$program/mavonet.ini")
uninstall_from_prefix
expect_tree "after uninstall" lib/quillwatch/mavo.sdb lib/quillwatch/mavonet.ini
install_into_prefix
[ "$(checksum "$program/mavo.sdb")" = "$database" ] || fail "uninstall and install changed mavo.sdb"
[ "$(checksum "$program/mavonet.ini")" = "$settings" ] || fail "uninstall and install changed mavonet.ini"

# Without them, uninstall removes the program's directory as well.
rm "$program/mavo.sdb" "$program/mavonet.ini"
uninstall_from_prefix
expect_tree "after uninstall without user files"
[ ! -e "$program" ] || fail "the empty program directory is left"
echo "install and uninstall: ok"
