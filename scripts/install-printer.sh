#!/bin/sh
# Installs the PDF printer "Marrowby PDF Writer" into CUPS: the backend, the
# operation policy "marrowby-pdf-writer" in cupsd.conf, and the queue
# Marrowby_PDF_Writer with its PPD. Run as root with cupsd running
# (scripts/start-cupsd.sh starts it). Running it again updates all three and
# keeps every user's files and default printer.
#
#   install-printer.sh [--with-test-queue] [BACKEND [PPD]]
#   install-printer.sh --queue-only [--with-test-queue] [PPD]
#   install-printer.sh --uninstall [--queue-only]     (what uninstall-printer.sh runs)
#
# --queue-only sets up the policy and the queue for the backend already in
# CUPS's backend folder (a package installs that file itself); with
# --uninstall it removes queue and policy and keeps the backend file.
#
# --with-test-queue also creates Marrowby_Case_Test, described "marrowby pdf
# writer": a second queue for the end-to-end tests, whose description differs
# from the real one only in letter case. Not for ordinary installations.
#
# Without arguments the backend and PPD are looked for where
# `cmake --install --component printer` puts them (lib/quendrel beside this
# script's libexec/quendrel), beside this script, in $QUENDREL_BUILD_DIR, and
# in the build folder of a source checkout.
#
# Who owns a job: the backend writes each job with the rights of the job's
# user, so that user must be the account that submitted it, not a name the
# client merely claims (`lp -U`). The policy makes cupsd authenticate every
# job creation. On its local socket libcups answers with the peer's own
# credentials (PeerCred: the kernel tells cupsd the connecting uid), so the
# tool and `lp` print without a password; a claimed other name fails there.
# Over TCP only a password would do. cupsd hands the backend the account it
# authenticated (AUTH_UID); the backend refuses every job without it, such as
# one created on another queue and moved here. Jobs from other hosts are
# refused three times over: the queue is not shared, the policy allows job
# creation from localhost only, and the backend checks the job's origin.
set -eu

queue=Marrowby_PDF_Writer
test_queue_name=Marrowby_Case_Test
description="Marrowby PDF Writer"
policy=marrowby-pdf-writer
begin_mark="# Marrowby PDF Writer: operation policy (begin)"
end_mark="# Marrowby PDF Writer: operation policy (end)"

fail() {
  echo "install-printer.sh: $*" >&2
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "run this as root"

action=install
queue_only=no
test_queue=no
while [ $# -gt 0 ]; do
  case $1 in
    --uninstall) action=uninstall ;;
    --queue-only) queue_only=yes ;;
    --with-test-queue) test_queue=yes ;;
    --) shift; break ;;
    -*) fail "unknown option $1" ;;
    *) break ;;
  esac
  shift
done

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)

serverbin=/usr/lib/cups
serverroot=/etc/cups
if command -v cups-config >/dev/null 2>&1; then
  serverbin=$(cups-config --serverbin)
  serverroot=$(cups-config --serverroot)
fi
installed_backend=$serverbin/backend/marrowby
cupsd_conf=$serverroot/cupsd.conf

scheduler_answers() {
  lpstat -r 2>/dev/null | grep -q 'is running'
}

# The policy block as it goes into cupsd.conf. Job creation needs an
# authenticated user from this machine; the job's other operations need its
# owner or a print administrator, authenticated too; administration as in
# CUPS's own default policy.
policy_block() {
  cat <<EOF
$begin_mark
<Policy $policy>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit Create-Job Print-Job Print-URI Validate-Job>
    AuthType Default
    Require valid-user
    Order deny,allow
    Deny all
    Allow localhost
  </Limit>
  <Limit Send-Document Send-URI Hold-Job Release-Job Restart-Job Purge-Jobs Set-Job-Attributes Create-Job-Subscription Renew-Subscription Cancel-Subscription Get-Notifications Reprocess-Job Cancel-Current-Job Suspend-Current-Job Resume-Job Cancel-My-Jobs Close-Job CUPS-Move-Job CUPS-Get-Document Cancel-Job CUPS-Authenticate-Job>
    AuthType Default
    Require user @OWNER @SYSTEM
    Order deny,allow
  </Limit>
  <Limit CUPS-Add-Modify-Printer CUPS-Delete-Printer CUPS-Add-Modify-Class CUPS-Delete-Class CUPS-Set-Default CUPS-Get-Devices Pause-Printer Resume-Printer Enable-Printer Disable-Printer Pause-Printer-After-Current-Job Hold-New-Jobs Release-Held-New-Jobs Deactivate-Printer Activate-Printer Restart-Printer Shutdown-Printer Startup-Printer Promote-Job Schedule-Job-After Cancel-Jobs CUPS-Accept-Jobs CUPS-Reject-Jobs>
    AuthType Default
    Require user @SYSTEM
    Order deny,allow
  </Limit>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
$end_mark
EOF
}

# cupsd.conf without our block (and the block appended when asked), through a
# checked temporary file renamed into place; gives 0 when the file changed.
rewrite_cupsd_conf() {
  with_block=$1
  [ -f "$cupsd_conf" ] || fail "$cupsd_conf not found"
  new=$cupsd_conf.marrowby.$$
  trap 'rm -f "$new"' EXIT
  # The block goes by its marks, or by its <Policy> lines when a tool that
  # rewrites cupsd.conf (cupsctl, a web interface) dropped the comments.
  awk -v b="$begin_mark" -v e="$end_mark" -v p="$policy" '
    $0 == b { skip = 1 }
    !skip && $1 == "<Policy" && $2 == p ">" { skip = 1; policy = 1 }
    !skip { print }
    $0 == e || (policy && $1 == "</Policy>") { skip = 0; policy = 0 }' "$cupsd_conf" >"$new"
  [ "$with_block" = yes ] && policy_block >>"$new"
  if cmp -s "$new" "$cupsd_conf"; then
    rm -f "$new"
    trap - EXIT
    return 1
  fi
  cupsd -t -c "$new" >/dev/null 2>&1 || fail "the changed cupsd.conf does not pass 'cupsd -t'; left as it was"
  chmod --reference="$cupsd_conf" "$new"
  chown --reference="$cupsd_conf" "$new"
  mv -f "$new" "$cupsd_conf"
  trap - EXIT
  return 0
}

# Makes cupsd read its configuration again the way the system runs it, then
# waits until it answers. cupsd reloads only once running jobs end
# (ReloadTimeout, 30 s by default): set_up_queue waits for the policy itself.
reload_scheduler() {
  if [ -d /run/systemd/system ] && systemctl is-active --quiet cups 2>/dev/null; then
    systemctl reload cups || fail "systemctl reload cups failed"
  else
    pid=$(cat /run/cups/cupsd.pid 2>/dev/null || true)
    if [ -z "$pid" ] || ! kill -0 "$pid" 2>/dev/null; then
      pid=$(pgrep -x -o cupsd || true)
    fi
    [ -n "$pid" ] || fail "cupsd is not running; start it and run this again"
    kill -HUP "$pid"
  fi
  tries=100
  sleep 0.5
  until scheduler_answers; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "cupsd does not answer after reading its configuration; see /var/log/cups/error_log"
    sleep 0.2
  done
}

# lpadmin with the queue's settings. It refuses a policy cupsd has not loaded
# yet, so a refusal is retried until a pending reload has surely happened.
set_up_queue() {
  name=$1
  info=$2
  tries=200
  while :; do
    # lpadmin warns that PPD files are deprecated; they still work in CUPS 2.4.
    if output=$(lpadmin -p "$name" -D "$info" -v marrowby:/ -P "$ppd" \
                        -o printer-error-policy=abort-job -o printer-is-shared=false \
                        -o printer-op-policy="$policy" -E 2>&1); then
      break
    fi
    tries=$((tries - 1))
    if [ "$tries" -le 0 ]; then
      echo "$output" >&2
      fail "lpadmin could not set up the queue $name"
    fi
    sleep 0.2
  done
  printf '%s\n' "$output" | grep -v -i -e 'deprecated' -e '^$' >&2 || true
  cupsenable "$name"
  cupsaccept "$name"
}

remove_queue() {
  if lpstat -p "$1" >/dev/null 2>&1; then
    lpadmin -x "$1"
  fi
}

if [ "$action" = uninstall ]; then
  scheduler_answers || fail "the CUPS scheduler is not running; start it to remove the printer"
  # The end-to-end tests' look-alike queue goes too, when it is there.
  remove_queue "$queue"
  remove_queue "$test_queue_name"
  if rewrite_cupsd_conf no; then
    reload_scheduler
  fi
  if [ "$queue_only" = yes ]; then
    echo "Removed the printer queue $queue and its policy; kept $installed_backend."
  else
    rm -f "$installed_backend"
    echo "Removed the printer queue $queue, its policy and its backend."
  fi
  exit 0
fi

find_first() {
  for candidate in "$@"; do
    if [ -f "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  return 0
}

if [ "$queue_only" = yes ]; then
  [ -f "$installed_backend" ] || fail "$installed_backend is missing; install the backend first"
  ppd=${1:-}
else
  backend=${1:-}
  [ -n "$backend" ] || backend=$(find_first "$here/../../lib/quendrel/marrowby" "$here/marrowby" \
                                            "${QUENDREL_BUILD_DIR:-/nonexistent}/bin/marrowby" \
                                            "$source_dir/build/bin/marrowby")
  [ -n "$backend" ] && [ -f "$backend" ] ||
    fail "backend program not found; build the target 'marrowby' or give its path as the first argument"
  ppd=${2:-}
fi
[ -n "$ppd" ] || ppd=$(find_first "$here/../../lib/quendrel/marrowby-pdf-writer.ppd" \
                                  "$here/marrowby-pdf-writer.ppd" \
                                  "$source_dir/src/pdfprinter/marrowby-pdf-writer.ppd")
[ -n "$ppd" ] && [ -f "$ppd" ] || fail "marrowby-pdf-writer.ppd not found; give its path as an argument"

scheduler_answers || fail "the CUPS scheduler is not running (start it, e.g. with scripts/start-cupsd.sh)"

if [ "$queue_only" = no ]; then
  # CUPS runs a backend as root only when others may neither read nor run
  # it; the backend needs root to take on each job's user.
  install -d -m 0755 "$serverbin/backend"
  install -o root -g root -m 0700 "$backend" "$installed_backend.new"
  mv -f "$installed_backend.new" "$installed_backend"
fi

if rewrite_cupsd_conf yes; then
  reload_scheduler
fi
# Without peer credentials cupsd would ask every user for a password.
if grep -qiE '^[[:space:]]*PeerCred[[:space:]]+(off|root-only)' "$serverroot/cups-files.conf" 2>/dev/null; then
  echo "install-printer.sh: warning: PeerCred is not 'on' in $serverroot/cups-files.conf;" \
       "printing to \"$description\" will ask users for their password" >&2
fi

# abort-job: a job that cannot be written fails alone; the queue goes on.
set_up_queue "$queue" "$description"
echo "Installed the printer \"$description\" (queue $queue)."

if [ "$test_queue" = yes ]; then
  set_up_queue "$test_queue_name" "marrowby pdf writer"
  echo "Installed the test queue $test_queue_name (\"marrowby pdf writer\")."
fi
