#!/bin/sh
# Starts the CUPS scheduler when it is not running yet (containers and CI have
# no init system to do it). Run as root. Waits until the scheduler answers.
set -eu

if [ "$(id -u)" -ne 0 ]; then
  echo "start-cupsd.sh: run this as root" >&2
  exit 1
fi

if lpstat -r 2>/dev/null | grep -q 'is running'; then
  exit 0
fi

# The scheduler's local socket lives here; a fresh container has no /run/cups.
mkdir -p /run/cups
cupsd

# Bounded wait: about 10 seconds in steps of a fifth of a second.
tries=50
while [ "$tries" -gt 0 ]; do
  if lpstat -r 2>/dev/null | grep -q 'is running'; then
    exit 0
  fi
  sleep 0.2
  tries=$((tries - 1))
done
echo "start-cupsd.sh: cupsd did not start; see /var/log/cups/error_log" >&2
exit 1
