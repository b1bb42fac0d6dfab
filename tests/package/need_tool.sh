# shellcheck shell=bash
# Sourced by the package checks: need TOOL… ends the check as skipped (exit 77) when a tool is
# missing, or as failed under CI, which installs them all (tools/install-deps.sh).
need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 && continue
    if [ -n "${CI:-}" ]; then
      echo "$tool is missing; tools/install-deps.sh installs it" >&2
      exit 1
    fi
    echo "skipped: $tool is not installed (tools/install-deps.sh installs it)"
    exit 77
  done
}

# Runs a validator that prints nothing when all is well; anything it says fails the check.
silent_or_fail() {
  local said
  said=$("$@" 2>&1) || { printf '%s\n' "$said" >&2; return 1; }
  [ -z "$said" ] || { printf '%s\n' "$said" >&2; return 1; }
}
