# shellcheck shell=bash
# Small assertions shared by the package tests (sourced).

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

step() {
  echo "== $*"
}

# expect_stat PATH "OWNER:GROUP MODE"
expect_stat() {
  local got
  got=$(stat -c '%U:%G %a' "$1" 2>/dev/null) || fail "$1 does not exist"
  [ "$got" = "$2" ] || fail "$1 is $got, expected $2"
}

expect_absent() {
  if [ -e "$1" ] || [ -L "$1" ]; then
    fail "$1 should not exist"
  fi
}

# expect_content PATH TEXT
expect_content() {
  [ -f "$1" ] || fail "$1 does not exist"
  [ "$(cat "$1")" = "$2" ] || fail "$1 holds '$(cat "$1")', expected '$2'"
}
