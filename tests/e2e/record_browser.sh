#!/bin/sh
# Stands in for the desktop's browser in the end-to-end tests: Wine hands it the address the
# Installer opens, and it only writes that address down, one a line, in $TWI_BROWSER_LOG.
[ -n "$TWI_BROWSER_LOG" ] && printf '%s\n' "$1" >> "$TWI_BROWSER_LOG"
exit 0
