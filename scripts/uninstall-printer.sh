#!/bin/sh
# Removes the PDF printer "Marrowby PDF Writer": its queue and its backend.
# Run as root. Nothing to remove is not an error.
set -eu

queue=Marrowby_PDF_Writer

if [ "$(id -u)" -ne 0 ]; then
  echo "uninstall-printer.sh: run this as root" >&2
  exit 1
fi

# The end-to-end tests' look-alike queue goes too, when it is there.
for name in "$queue" Marrowby_Case_Test; do
  if lpstat -p "$name" >/dev/null 2>&1; then
    lpadmin -x "$name"
  fi
done

serverbin=/usr/lib/cups
if command -v cups-config >/dev/null 2>&1; then
  serverbin=$(cups-config --serverbin)
fi
rm -f "$serverbin/backend/marrowby"
echo "Removed the printer queue $queue and its backend."
