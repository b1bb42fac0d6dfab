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

# check WHAT COMMAND [ARGS ...]: one check, passed when COMMAND succeeds.
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "CHECK PASS: $variant: $what"
  else
    failed=$((failed + 1))
    echo "CHECK FAIL: $variant: $what"
  fi
}

# run COMMAND [ARGS ...]: runs a command of z900ctl with a fresh home (which is also its
# program folder, so it gets the language files) and the trace on; keeps its exit status in
# $status and its output in $out and $err.
run() {
  rm -rf /tmp/home && mkdir -p /tmp/home && cp /opt/z900/language*.xml /tmp/home/
  env Z900_HOME=/tmp/home Z900_TRACE=1 "$@" > $out 2> $err
  status=$?
  echo "GUEST: ===== $* -> exit $status at $(cut -d' ' -f1 /proc/uptime) s"
  sed 's/^/GUEST:   out: /' $out
  sed 's/^/GUEST:   err: /' $err
}

# printed STATUS [PATTERN ...]: the last run ended with STATUS, without a sanitizer finding,
# and printed a line matching every PATTERN (output and error together); a PATTERN led by !
# must match no line.
printed() {
  local pattern
  [ "$status" = "$1" ] || return 1
  shift
  grep -q 'Sanitizer\|runtime error' $err && return 1
  for pattern in "$@"; do
    case $pattern in
      !*) cat $out $err | grep -qE -- "${pattern#!}" && return 1 ;;
      *) cat $out $err | grep -qE -- "$pattern" || return 1 ;;
    esac
  done
  return 0
}

# expect STATUS WHAT [PATTERN ...]: checks the last run with printed.
expect() {
  local want=$1 what=$2
  shift 2
  check "$what (exit $status, wanted $want)" printed "$want" "$@"
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
  wait_for "test -e /tmp/ready" || check "the virtual mouse came up" false
}

# unplug: ends the virtual mouse (unless it went by itself) and shows its log.
unplug() {
  kill -0 $mouse_pid 2> /dev/null && echo quit > /tmp/control
  wait $mouse_pid
  sed 's/^/GUEST:   /' /tmp/mouse.log
}

# wait_for CONDITION: polls a shell condition for up to 10 s.
wait_for() {
  local tries=0
  until eval "$1"; do
    [ $tries -ge 200 ] && return 1
    sleep 0.05
    tries=$((tries + 1))
  done
}

# The virtual mouse's log and memory, once it went away.
opened() { grep -c "$1: OPEN" /tmp/mouse.log; }
only_vendor_opened() {
  [ "$(opened vendor-if)" -ge "$1" ] && [ "$(opened mouse-if)" = 0 ] &&
    [ "$(opened decoy-if)" = 0 ]
}
not_logged() { ! grep -q "$1" /tmp/mouse.log; }
memory_holds() {  # memory_holds ADDRESS "xx xx …"
  [ "$(hexdump -v -s "$1" -n 4 -e '1/1 "%02x "' /tmp/memory)" = "$2 " ]
}

mkfifo /tmp/control
echo "GUEST: kernel $(uname -r), checks start at $(cut -d' ' -f1 /proc/uptime) s of uptime"

mouse default
run $Z900 info
expect 0 'info reads mode and firmware' '^mode: 0$' '^firmware: 1\.2$' '^Send: ba a2 $' \
  '^Receive: 01 00 $'
run $Z900 read 0x14 8
expect 0 'read shows the memory' '^0014: 01 01 00 00 0c 00 00 00$'
run su -s /bin/sh tester -c "Z900_HOME=/tmp/tester $Z900 info"
expect 3 'a user without access is told about the udev rule' \
  'hidraw[0-9]+ may not be opened by this user' '70-z900\.rules'
# The event is sent once the tool listens, so it arrives while its handle is open.
(wait_for "grep -q Listening $err" && echo "event 0x4000C402" > /tmp/control) &
run timeout 30 $Z900 events --count 1
expect 0 'events prints the interrupt report' '^0x4000c402 action 4 .*button 3$'
unplug
opens="vendor $(opened vendor-if), mouse $(opened mouse-if), decoy $(opened decoy-if)"
check "only the vendor interface was opened ($opens)" only_vendor_opened 3
check 'no report reached another interface or report number' not_logged UNEXPECTED

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
  '^Receive failed: short answer, 1 of 2 bytes$'
unplug

mouse interrupt --answers interrupt --vendor-only
run $Z900 info
expect 1 'answers only by interrupt: a clear failure with the reason traced' \
  'did not answer the mode query' '^Receive failed: .*Input/output error'
unplug

mouse unplugged --unplug-after 1 --vendor-only
run $Z900 apply --quiet
expect 1 'a mouse gone during apply: the failed reads and writes are traced' \
  'not acknowledged' '^Receive failed: .+' '^Send failed: .+'
unplug

mouse apply --vendor-only
run sh -c "$Z900 set button 0 3 copy && $Z900 set rate 1 125 && $Z900 apply --quiet &&
  $Z900 read 0x400 16"
expect 0 'apply writes the profile and reads it back' \
  '^0400: 03 00 01 00 03 00 02 00 02 00 02 06 00 00 00 00$'
unplug
check 'the mouse holds Copy (0x06020002) in mode 0, button 3' memory_holds 0x408 '02 00 02 06'
check 'the mouse holds 125 Hz for mode 1' memory_holds 0x14 '01 08 00 00'
check 'the mouse refused no command of the apply' not_logged 'status 2'

mouse old-kernel --vendor-only
run /opt/z900/as_old_kernel --without-input-ioctl $Z900 info
expect 3 'a kernel without HIDIOCGINPUT is named once' 'Linux 2\.6\..* 5\.11' '!did not answer'
run /opt/z900/as_old_kernel $Z900 info
expect 0 'an older kernel with HIDIOCGINPUT works' '^firmware: 1\.2$'
unplug

echo "GUEST: checks end at $(cut -d' ' -f1 /proc/uptime) s of uptime"
echo "GUEST RESULT: $passed passed, $failed failed"
poweroff -f
