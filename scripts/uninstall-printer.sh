#!/bin/sh
# Removes the PDF printer "Marrowby PDF Writer": its queue, its operation
# policy in cupsd.conf and its backend. Run as root with cupsd running.
# Nothing to remove is not an error; no user's files or default printer are
# touched (a user default naming the queue simply finds no printer).
#
#   uninstall-printer.sh [--queue-only]
#
# --queue-only keeps the backend file (a package removes that itself).
set -eu
exec "$(dirname "$0")/install-printer.sh" --uninstall "$@"
