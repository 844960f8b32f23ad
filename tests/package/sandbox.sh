#!/usr/bin/env bash
# sandbox.sh [--stage FILE]... [--output DIR] [--] COMMAND [ARG]...
#
# Runs COMMAND as root in a private mount namespace where /usr, /etc and /var
# are overlays whose upper layers live in a throw-away tmpfs, and /tmp is an
# empty tmpfs. Whatever COMMAND installs, removes or writes there is gone when
# it ends; the host's files are never changed. Each FILE given with --stage is
# copied to /tmp/stage/ (readable by everyone) before COMMAND starts, so that
# inputs from anywhere, even from under the host's /tmp, are at hand. With
# --output, $KORVEL_SANDBOX_OUTPUT names the host folder DIR from inside, so
# that screenshots and logs can be kept.
# Needs root; exits with 77 (skipped) without it.
set -euo pipefail

if [ -z "${KORVEL_SANDBOX:-}" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "sandbox.sh: needs root for a private mount namespace" >&2
    exit 77
  fi
  exec env KORVEL_SANDBOX=1 unshare --mount --propagation private -- "$0" "$@"
fi

# The staged files are opened before anything is mounted over their folders.
staged=()
while [ $# -gt 0 ]; do
  case "$1" in
    --stage)
      exec {fd}<"$2"
      staged+=("$fd:$(basename "$2")")
      shift 2
      ;;
    --output)
      mkdir -p "$2"
      exec {out}<"$2"
      export KORVEL_SANDBOX_OUTPUT=/proc/$$/fd/$out
      shift 2
      ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "sandbox.sh: no command given" >&2; exit 2; }

# The scratch tmpfs that holds the overlays' upper layers is mounted on /tmp
# first and then covered by the fresh /tmp; the overlays keep working.
mount -t tmpfs -o mode=0700 korvel-scratch /tmp
for d in usr etc var; do
  mkdir -p "/tmp/$d/upper" "/tmp/$d/work"
  mount -t overlay "korvel-$d" \
    -o "lowerdir=/$d,upperdir=/tmp/$d/upper,workdir=/tmp/$d/work" "/$d"
done
mount -t tmpfs -o mode=1777 korvel-tmp /tmp

mkdir -m 0755 /tmp/stage
for entry in "${staged[@]}"; do
  fd=${entry%%:*}
  name=${entry#*:}
  cat <&"$fd" >"/tmp/stage/$name"
  chmod 0644 "/tmp/stage/$name"
  exec {fd}<&-
done

unset KORVEL_SANDBOX
exec "$@"
