#!/bin/sh
# Installs the PDF printer "Marrowby PDF Writer" into CUPS: the backend, and
# the queue Marrowby_PDF_Writer with its PPD. Run as root with cupsd running
# (scripts/start-cupsd.sh starts it). Running it again updates both.
#
#   install-printer.sh [--with-test-queue] [BACKEND [PPD]]
#
# --with-test-queue also creates Marrowby_Case_Test, described "marrowby pdf
# writer": a second queue for the end-to-end tests, whose description differs
# from the real one only in letter case. Not for ordinary installations.
#
# Without arguments the backend and PPD are looked for where
# `cmake --install --component printer` puts them (lib/quendrel beside this
# script's libexec/quendrel), beside this script, in $QUENDREL_BUILD_DIR, and
# in the build folder of a source checkout.
set -eu

queue=Marrowby_PDF_Writer
description="Marrowby PDF Writer"

fail() {
  echo "install-printer.sh: $*" >&2
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "run this as root"

test_queue=no
if [ "${1:-}" = "--with-test-queue" ]; then
  test_queue=yes
  shift
fi

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)

backend=${1:-}
if [ -z "$backend" ]; then
  for candidate in "$here/../../lib/quendrel/marrowby" \
                   "$here/marrowby" \
                   "${QUENDREL_BUILD_DIR:-/nonexistent}/bin/marrowby" \
                   "$source_dir/build/bin/marrowby"; do
    if [ -f "$candidate" ]; then
      backend=$candidate
      break
    fi
  done
fi
[ -n "$backend" ] && [ -f "$backend" ] ||
  fail "backend program not found; build the target 'marrowby' or give its path as the first argument"

ppd=${2:-}
if [ -z "$ppd" ]; then
  for candidate in "$here/../../lib/quendrel/marrowby-pdf-writer.ppd" \
                   "$here/marrowby-pdf-writer.ppd" \
                   "$source_dir/src/pdfprinter/marrowby-pdf-writer.ppd"; do
    if [ -f "$candidate" ]; then
      ppd=$candidate
      break
    fi
  done
fi
[ -n "$ppd" ] && [ -f "$ppd" ] || fail "marrowby-pdf-writer.ppd not found; give its path as the second argument"

lpstat -r 2>/dev/null | grep -q 'is running' ||
  fail "the CUPS scheduler is not running (start it, e.g. with scripts/start-cupsd.sh)"

# CUPS runs a backend as root only when others may neither read nor run it;
# the backend needs root to take on each job's user.
serverbin=/usr/lib/cups
if command -v cups-config >/dev/null 2>&1; then
  serverbin=$(cups-config --serverbin)
fi
install -d -m 0755 "$serverbin/backend"
install -o root -g root -m 0700 "$backend" "$serverbin/backend/marrowby.new"
mv -f "$serverbin/backend/marrowby.new" "$serverbin/backend/marrowby"

# abort-job: a job that cannot be written fails alone; the queue goes on.
# lpadmin warns that PPD files are deprecated; they still work in CUPS 2.4.
if ! output=$(lpadmin -p "$queue" -D "$description" -v marrowby:/ -P "$ppd" \
                      -o printer-error-policy=abort-job -o printer-is-shared=false -E 2>&1); then
  echo "$output" >&2
  fail "lpadmin could not set up the queue $queue"
fi
printf '%s\n' "$output" | grep -v -i -e 'deprecated' -e '^$' >&2 || true
cupsenable "$queue"
cupsaccept "$queue"
echo "Installed the printer \"$description\" (queue $queue)."

if [ "$test_queue" = yes ]; then
  if ! output=$(lpadmin -p Marrowby_Case_Test -D "marrowby pdf writer" -v marrowby:/ -P "$ppd" \
                        -o printer-error-policy=abort-job -o printer-is-shared=false -E 2>&1); then
    echo "$output" >&2
    fail "lpadmin could not set up the test queue Marrowby_Case_Test"
  fi
  cupsenable Marrowby_Case_Test
  cupsaccept Marrowby_Case_Test
  echo "Installed the test queue Marrowby_Case_Test (\"marrowby pdf writer\")."
fi
