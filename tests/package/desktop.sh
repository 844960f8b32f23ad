# shellcheck shell=bash
# The package tests' helpers live in tests/binary/sandbox.sh now; this file
# stays for scripts/screenshots.sh, which still sources it.
