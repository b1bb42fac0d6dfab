#!/bin/sh
# Runs a test program as the unprivileged user "nobody" when it is started as root, so that file
# permissions hold for it as they do for every user but root. When that is not possible, the
# program runs as it was started and its tests skip, with the reason in Z900_UNPRIVILEGED.
set -u
if [ "$(id -u)" != 0 ]; then
  exec "$@"
fi
user=nobody
if ! uid=$(id -u "$user" 2>/dev/null) || ! gid=$(id -g "$user" 2>/dev/null); then
  Z900_UNPRIVILEGED="there is no user $user to run as" exec "$@"
fi
if command -v setpriv >/dev/null 2>&1 &&
    setpriv --reuid="$uid" --regid="$gid" --clear-groups test -x "$1" 2>/dev/null; then
  exec setpriv --reuid="$uid" --regid="$gid" --clear-groups "$@"
fi
if command -v runuser >/dev/null 2>&1 && runuser -u "$user" -- test -x "$1" 2>/dev/null; then
  exec runuser -u "$user" -- "$@"
fi
Z900_UNPRIVILEGED="neither setpriv nor runuser can start $1 as $user (is the build tree readable by all?)" \
  exec "$@"
