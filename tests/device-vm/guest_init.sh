#!/bin/sh
# PID 1 of the test guest: loads the HID drivers, then for each variant starts the virtual mouse,
# runs z900ctl against it through hidraw and checks what it printed. One line per check:
# "CHECK PASS: …" or "CHECK FAIL: …"; the last line is "GUEST RESULT: N passed, M failed".
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp

for module in hid hid-generic uhid; do
  insmod "/modules/$module.ko" || echo "GUEST: insmod $module failed"
done

# Sanitizer findings end the tool with their own status, so they never pass for an expected one.
export ASAN_OPTIONS=exitcode=99:halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=exitcode=99:halt_on_error=1:print_stacktrace=1
export HOME=/root
Z900=/opt/z900/z900ctl
passed=0
failed=0
out=/tmp/out
err=/tmp/err

verdict() {  # verdict OK|NO WHAT
  if [ "$1" = OK ]; then
    passed=$((passed + 1))
    echo "CHECK PASS: $variant: $2"
  else
    failed=$((failed + 1))
    echo "CHECK FAIL: $variant: $2"
  fi
}

# run [ENV=VALUE ...] -- ARGS: runs z900ctl with a fresh home and the trace on; keeps its exit
# status in $status and its output in $out and $err.
run() {
  rm -rf /tmp/home && mkdir -p /tmp/home
  env Z900_HOME=/tmp/home Z900_TRACE=1 "$@" > $out 2> $err
  status=$?
  echo "GUEST: ===== $* -> exit $status"
  sed 's/^/GUEST:   out: /' $out
  sed 's/^/GUEST:   err: /' $err
}

# expect STATUS WHAT [PATTERN ...]: the last run ended with STATUS and printed lines matching
# every PATTERN (standard output and error together); a pattern led by ! must match no line.
expect() {
  local want=$1 what=$2 ok=OK pattern
  shift 2
  [ "$status" = "$want" ] || ok=NO
  grep -q 'Sanitizer\|runtime error' $err && ok=NO
  for pattern in "$@"; do
    case $pattern in
      !*) cat $out $err | grep -qE -- "${pattern#!}" && ok=NO ;;
      *) cat $out $err | grep -qE -- "$pattern" || ok=NO ;;
    esac
  done
  verdict $ok "$what (exit $status, wanted $want)"
}

# mouse VARIANT [OPTIONS]: starts the virtual mouse and waits until its hidraw nodes exist.
mouse() {
  variant=$1
  shift
  echo "GUEST: ===== variant $variant: virtual_mouse $*"
  rm -f /tmp/ready /tmp/memory /tmp/mouse.log
  /opt/z900/virtual_mouse --control /tmp/control --ready /tmp/ready --dump /tmp/memory "$@" \
    2> /tmp/mouse.log &
  mouse_pid=$!
  local tries=0
  while [ ! -e /tmp/ready ] && [ $tries -lt 200 ]; do
    sleep 0.05
    tries=$((tries + 1))
  done
  [ -e /tmp/ready ] || verdict NO "the virtual mouse came up"
}

# unplug: ends the virtual mouse (unless it went by itself) and shows its log.
unplug() {
  kill -0 $mouse_pid 2> /dev/null && echo quit > /tmp/control
  wait $mouse_pid
  sed 's/^/GUEST:   /' /tmp/mouse.log
}

# memory ADDRESS COUNT: the virtual mouse's own bytes, as "xx xx …", after it went away.
memory() {
  hexdump -v -s "$1" -n "$2" -e '1/1 "%02x "' /tmp/memory | sed 's/ $//'
}

mkfifo /tmp/control
echo "GUEST: kernel $(uname -r), $(nproc) CPU"

mouse default
run $Z900 info
expect 0 'info reads mode and firmware' '^mode: 0$' '^firmware: 1\.2$' '^Send: ba a2 $' \
  '^Receive: 01 00 $'
run $Z900 read 0x14 8
expect 0 'read shows the memory' '^0014: 01 01 00 00 0c 00 00 00$'
run su -s /bin/sh tester -c "Z900_HOME=/tmp/tester $Z900 info"
expect 3 'a user without access is told about the udev rule' \
  'hidraw[0-9]+ may not be opened by this user' '70-z900\.rules'
rm -f /tmp/listening
(
  tries=0
  until grep -q Listening $err 2> /dev/null || [ $tries -ge 200 ]; do
    sleep 0.05
    tries=$((tries + 1))
  done
  echo "event 0x4000C402" > /tmp/control
) &
run timeout 30 $Z900 events --count 1
expect 0 'events prints the interrupt report' '^0x4000c402 action 4 .*button 3$'
unplug
opened() { grep -c "$1: OPEN" /tmp/mouse.log; }
[ "$(opened vendor-if)" -ge 3 ] && [ "$(opened mouse-if)" = 0 ] && [ "$(opened decoy-if)" = 0 ]
[ $? = 0 ] && ok=OK || ok=NO
verdict $ok "only the vendor interface was opened ($(opened vendor-if) times; mouse $(opened mouse-if), decoy $(opened decoy-if))"
grep -q UNEXPECTED /tmp/mouse.log && ok=NO || ok=OK
verdict $ok "no report reached the wrong interface or report number"

mouse id-first --layout id-first --vendor-only
run $Z900 info
expect 0 'answers with the report ID first are read' '^mode: 0$' '^firmware: 1\.2$' \
  '^Receive: 01 00 $'
run $Z900 read 0x14 8
expect 0 'memory reads with the report ID first' '^0014: 01 01 00 00 0c 00 00 00$'
unplug

mouse busy-2 --busy 2 --vendor-only
run $Z900 info
expect 0 'two busy answers, then done' '^firmware: 1\.2$'
unplug

mouse busy-5 --busy 5 --vendor-only
run $Z900 info
expect 1 'five busy answers: gives up' 'did not answer the mode query' '!^mode:'
unplug

mouse short --reply-size 1 --vendor-only
run $Z900 info
expect 1 'a reply shorter than asked is refused' 'did not answer the mode query' '!^mode:' \
  '^Receive failed: .*1 of 2 bytes'
unplug

mouse interrupt --answers interrupt --vendor-only
run $Z900 info
expect 1 'answers only by interrupt: a clear failure with the reason traced' \
  'did not answer the mode query' '^Receive failed: .*Input/output error'
unplug

mouse unplugged --unplug-after 1 --vendor-only
run $Z900 apply --quiet
expect 1 'a mouse gone during apply: the failed reads and writes are traced' \
  '^Receive failed: .+' '^Send failed: .+'
unplug

mouse apply --vendor-only
run sh -c "$Z900 set button 0 3 copy && $Z900 set rate 1 125 && $Z900 set led 0 fast &&
  $Z900 apply --quiet && $Z900 read 0x400 16 && $Z900 read 0x14 2"
expect 0 'apply writes the profile and reads it back' '^0400: 03 00 01 00 03 00 02 00 02 00 02 06' \
  '^0014: 01 08$'
unplug
want=$(memory 0x408 4)
[ "$want" = "02 00 02 06" ] && ok=OK || ok=NO
verdict $ok "the mouse holds Copy (0x06020002) in mode 0, button 3: $want"
grep -q 'status 2' /tmp/mouse.log && ok=NO || ok=OK
verdict $ok "the mouse refused no command of the apply"

mouse old-kernel --vendor-only
run /opt/z900/as_old_kernel --without-input-ioctl $Z900 info
expect 3 'a kernel without HIDIOCGINPUT is named once' '5\.11' '!did not answer'
run /opt/z900/as_old_kernel $Z900 info
expect 0 'an older kernel with HIDIOCGINPUT works' '^firmware: 1\.2$'
unplug

echo "GUEST RESULT: $passed passed, $failed failed"
poweroff -f
