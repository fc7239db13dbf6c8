#!/bin/bash
# Builds the Debian package from a build folder and checks it for real, as
# root, with cupsd running:
#   - lintian reports no errors; the package holds the files it should, with
#     their modes; it depends on chromium-headless-shell or chromium and on no
#     Qt WebEngine package;
#     desktop-file-validate and appstreamcli accept its listing;
#   - apt-get installs it and the queue appears; the installed programs run;
#     an ordinary user's whole run through the installed program's window
#     prints a page served on 127.0.0.1 into a PDF holding its text;
#     a job printed by an ordinary user becomes a PDF in their ~/PDF/;
#   - a reinstall and an upgrade keep the queue and the user's default printer;
#   - remove and purge leave no queue, no policy and no file of the package,
#     and no user's file changed;
#   - without systemd: installed while the scheduler is stopped, it says how to
#     add the printer later, and that command works; its removal while the
#     scheduler is stopped is refused with a line saying why, keeping the queue.
# It takes the machine's printer away while it runs and puts back what it
# found (backend, queues) when it ends, also after a failure.
#
#   check-package.sh [BUILD_FOLDER]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "check-package.sh: run this as root" >&2; exit 1; }
build=$(cd "${1:-build}" && pwd)

queue=Marrowby_PDF_Writer
program_dir=/usr/lib/quendrel
backend=/usr/lib/cups/backend/marrowby
user=quendrel-pkg
work=$(mktemp -d /tmp/quendrel-package.XXXXXX)
chmod 0755 "$work"   # apt reads the .deb files as its own user
trap 'rm -rf "$work"' EXIT
failures=0

say() { printf '== %s\n' "$*"; }
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
scheduler_runs() { lpstat -r 2>/dev/null | grep -q 'is running'; }
queue_exists() { lpstat -p "$1" >/dev/null 2>&1; }
as_user() { QUENDREL_TEST_USER=$user scripts/as-test-user "$@"; }
apt_quiet() { DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@" >"$work/apt.log" 2>&1; }
apt_or_fail() { apt_quiet "$@" || { cat "$work/apt.log" >&2; fail "apt-get $*"; }; }
stop_scheduler() {
  kill "$(cat /run/cups/cupsd.pid)"
  for _ in $(seq 50); do scheduler_runs || return 0; sleep 0.2; done
  fail "the scheduler did not stop"
}

# ---- build --------------------------------------------------------------
say "building the package in $build"
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
(cd "$build" && cpack -G DEB -B "$work/next" -D CPACK_PACKAGE_VERSION=99.0.0 >/dev/null)
deb=$(ls "$work"/deb/quendrel_*_amd64.deb)
next=$(ls "$work"/next/quendrel_99.0.0_amd64.deb)
chmod 0644 "$deb" "$next"
echo "$(basename "$deb")"

# ---- what the package holds ---------------------------------------------
say "lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

say "contents"
# mode, owner, path (and a link's target): the size and time left out
dpkg-deb -c "$deb" | awk '{ line = $1 " " $2; for (i = 6; i <= NF; i++) line = line " " $i; print line }' \
  >"$work/contents"
while read -r mode path; do
  grep -qxF -e "$mode root/root ./$path" "$work/contents" || fail "package lacks $mode $path"
done <<'EOF'
-rwx------ usr/lib/cups/backend/marrowby
-rwxr-xr-x usr/lib/quendrel/quendrel
-rwxr-xr-x usr/lib/quendrel/quendrel-batch
-rwxr-xr-x usr/lib/quendrel/iecapt
-rwxr-xr-x usr/lib/quendrel/install-printer.sh
-rwxr-xr-x usr/lib/quendrel/uninstall-printer.sh
-rw-r--r-- usr/lib/quendrel/marrowby-pdf-writer.ppd
lrwxrwxrwx usr/bin/quendrel -> ../lib/quendrel/quendrel
lrwxrwxrwx usr/bin/quendrel-batch -> ../lib/quendrel/quendrel-batch
-rw-r--r-- usr/share/applications/quendrel.desktop
-rw-r--r-- usr/share/metainfo/com.marrowby.quendrel.metainfo.xml
-rw-r--r-- usr/share/icons/hicolor/scalable/apps/quendrel.svg
-rw-r--r-- usr/share/icons/hicolor/64x64/apps/quendrel.png
-rw-r--r-- usr/share/doc/quendrel/copyright
-rw-r--r-- usr/share/doc/quendrel/changelog.gz
-rw-r--r-- usr/share/man/man1/quendrel.1.gz
-rw-r--r-- usr/share/man/man1/quendrel-batch.1.gz
EOF
if grep -v ' root/root ' "$work/contents"; then fail "files above are not owned by root"; fi
if awk '{ print $3 }' "$work/contents" | grep -v -e '^\./$' -e '^\./usr/'; then fail "files above lie outside /usr"; fi
dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ *$//; s/ *([^)]*)//g' >"$work/depends"
# The pages render in the system's Chromium, run and not linked: only the
# explicit dependency brings it, and its updates reach Quendrel through it.
# The automation build comes first; the desktop browser does as well.
grep -qx 'chromium-headless-shell | chromium' "$work/depends" ||
  fail "Depends lacks \"chromium-headless-shell | chromium\""
sed 's/ .*//' "$work/depends" >"$work/depends-first"
for needed in cups cups-client libcups2; do
  grep -qx "$needed" "$work/depends-first" || fail "Depends lacks $needed"
done
if grep -i webengine "$work/depends"; then fail "Depends names the Qt WebEngine packages above"; fi

say "menu entry and software-centre listing"
dpkg-deb -x "$deb" "$work/tree"
desktop-file-validate "$work/tree/usr/share/applications/quendrel.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$work/tree/usr/share/metainfo/com.marrowby.quendrel.metainfo.xml" ||
  fail "appstreamcli validate"
find "$work/tree" ! -type d | sed "s|^$work/tree||" | sort >"$work/files"

# ---- the machine's printer: set aside now, put back at the end ----------
had_queue=no
had_test_queue=no
queue_exists "$queue" && had_queue=yes
queue_exists Marrowby_Case_Test && had_test_queue=yes
[ ! -f "$backend" ] || cp -p "$backend" "$work/saved-backend"

restore() {
  set +e
  scheduler_runs || scripts/start-cupsd.sh
  if dpkg-query -W -f='${Status}' quendrel 2>/dev/null | grep -qv 'not-installed'; then
    DEBIAN_FRONTEND=noninteractive apt-get -y -q purge quendrel >/dev/null 2>&1
  fi
  if [ "$had_queue" = yes ] && [ -f "$work/saved-backend" ]; then
    local with_test=() put_back=$work/saved-backend
    [ "$had_test_queue" = no ] || with_test=(--with-test-queue)
    # The purge took the package's backend away; one there now was put there
    # since by someone else, and is newer than the saved one.
    [ ! -f "$backend" ] || put_back=$backend
    scripts/install-printer.sh "${with_test[@]}" "$put_back" \
      src/pdfprinter/marrowby-pdf-writer.ppd >/dev/null
  fi
  rm -rf "$work"
}
trap restore EXIT

scheduler_runs || { echo "check-package.sh: the CUPS scheduler is not running" >&2; exit 1; }
if [ "$had_queue" = yes ]; then scripts/uninstall-printer.sh >/dev/null; fi
cp /etc/cups/cupsd.conf "$work/cupsd.conf.before"

# An ordinary user with settings, control values, PDFs and a default printer
# of their own: nothing of it may change through the package's life.
as_user true
home=$(getent passwd "$user" | cut -d: -f6)
as_user sh -c 'mkdir -p "$HOME/.config/Marrowby PDF Writer" "$HOME/.config/Marrowby" "$HOME/PDF" &&
  printf "%s/not-pointed.pdf" "$HOME" >"$HOME/.config/Marrowby PDF Writer/OutputFile" &&
  printf "1" >"$HOME/.config/Marrowby PDF Writer/BypassSaveAs" &&
  printf "[Quendrel]\nFolder=/tmp/\n" >"$HOME/.config/Marrowby/Quendrel.conf" &&
  printf "%%PDF-1.4 kept\n" >"$HOME/PDF/kept.pdf"'
users_files() { (cd "$home" && find . -type f ! -path './.cache/*' -print0 | sort -z | xargs -0 sha256sum); }
users_files >"$work/user.before"

installed_files_gone() {
  while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then fail "$path is still there after $1"; fi
  done <"$work/files"
  for dir in "$program_dir" /usr/share/doc/quendrel; do
    [ ! -e "$dir" ] || fail "$dir is still there after $1"
  done
}

# ---- install ------------------------------------------------------------
say "apt-get install $(basename "$deb")"
apt_or_fail install "$deb"
grep -e 'quendrel:' -e 'printer' "$work/apt.log" || true
users_files | diff "$work/user.before" - || fail "the user's files changed on install"
lpstat -v "$queue" 2>/dev/null | grep 'marrowby:/' || fail "no queue $queue after install"
[ "$(stat -c '%a %U' "$backend" 2>/dev/null)" = "700 root" ] || fail "backend is not root's with mode 0700"
[ "$(readlink -f /usr/bin/quendrel)" = "$program_dir/quendrel" ] || fail "/usr/bin/quendrel does not lead to $program_dir"

say "the installed programs run"
printf '<html><body><h1>Packaged capture</h1></body></html>\n' >"$work/page.html"
chmod 0644 "$work/page.html"
as_user sh -c "cd /tmp && $program_dir/iecapt --url=$work/page.html --out=\$HOME/capture.jpg --max-wait=30000" ||
  fail "the installed iecapt cannot capture a page"
rm -f "$home/capture.jpg"
status=0
as_user env QT_QPA_PLATFORM=offscreen timeout 8 /usr/bin/quendrel >"$work/quendrel.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$work/quendrel.log" >&2; fail "the installed quendrel ended early (status $status)"; }

say "a whole run of the installed program, through its window"
as_user scripts/window-run.sh /usr/bin/quendrel || fail "a run of the installed quendrel printed no page"

say "a job of an ordinary user through the package's printer"
as_user lpoptions -d "$queue" >/dev/null || fail "the user cannot make $queue their default"
echo "Printed through the packaged printer" >"$work/job.txt"
chmod 0644 "$work/job.txt"
as_user lp -d "$queue" -t package-check "$work/job.txt" >/dev/null || fail "lp to $queue"
for _ in $(seq 100); do
  ls "$home/PDF/"*package-check* >/dev/null 2>&1 && break
  sleep 0.2
done
ls "$home/PDF/"*package-check* >/dev/null 2>&1 || fail "the job did not land in the user's ~/PDF/"
rm -f "$home/PDF/"*package-check*
users_files >"$work/user.before"

# ---- reinstall and upgrade ----------------------------------------------
for package in "$deb" "$next"; do
  say "apt-get install --reinstall $(basename "$package")"
  apt_or_fail install --reinstall "$package"
  queue_exists "$queue" || fail "no queue $queue after installing $(basename "$package") again"
  as_user lpstat -d | grep -q "$queue" || fail "the user's default printer changed on $(basename "$package")"
done

# ---- remove ---------------------------------------------------------------
say "apt-get remove"
apt_or_fail remove quendrel
! queue_exists "$queue" || fail "queue $queue left after remove"
cmp -s /etc/cups/cupsd.conf "$work/cupsd.conf.before" || fail "cupsd.conf differs after remove (policy left)"
installed_files_gone remove
# With no configuration files left, dpkg forgets the package at once.
! dpkg-query -W -f='${Status}' quendrel 2>/dev/null | grep -qv 'not-installed' || fail "quendrel still known to dpkg"
users_files | diff "$work/user.before" - || fail "the user's files changed on remove"

# ---- installed while the scheduler is stopped; purged ---------------------
if [ -d /run/systemd/system ]; then
  say "(systemd runs the scheduler: the stopped-scheduler install is not tried)"
elif [ ! -f /run/cups/cupsd.pid ]; then
  fail "cupsd left no /run/cups/cupsd.pid: the install with the scheduler stopped cannot be tried"
else
  say "apt-get install, then remove, with the scheduler stopped"
  stop_scheduler
  apt_or_fail install "$deb"
  scripts/start-cupsd.sh
  later=$(tr -d '\r' <"$work/apt.log" | grep -o "add the printer with: .*" | head -n 1 |
          sed 's/^add the printer with: sudo //') || true
  [ -n "$later" ] || { cat "$work/apt.log" >&2; fail "no line says how to add the printer later"; }
  grep 'quendrel:' "$work/apt.log" || true
  ! queue_exists "$queue" || fail "a queue appeared without a scheduler"
  [ -z "$later" ] || $later >/dev/null || fail "the printer cannot be added later with: $later"
  queue_exists "$queue" || fail "no queue after: $later"
  # Removing now would leave a queue without its backend: refused, and said.
  stop_scheduler
  if apt_quiet remove quendrel; then fail "removed without a scheduler, leaving its queue behind"; fi
  grep "quendrel:.*start the scheduler" "$work/apt.log" ||
    { cat "$work/apt.log" >&2; fail "no line says why the removal stopped"; }
  scripts/start-cupsd.sh
  queue_exists "$queue" || fail "the refused removal lost the queue"
  apt_or_fail purge quendrel
  ! queue_exists "$queue" || fail "queue $queue left after purge"
  cmp -s /etc/cups/cupsd.conf "$work/cupsd.conf.before" || fail "cupsd.conf differs after purge (policy left)"
  installed_files_gone purge
  users_files | diff "$work/user.before" - || fail "the user's files changed on purge"
fi

if [ "$failures" -ne 0 ]; then
  echo "check-package.sh: $failures check(s) failed" >&2
  exit 1
fi
echo "check-package.sh: the package passed every check"
