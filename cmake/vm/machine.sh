# Starting, watching and stopping the emulated machine, for bash scripts to source:
# scripts/windows-vm-image boots it once to set the wine prefix up, scripts/windows-vm to run
# the tests.
# The machine: software emulation of a 32-bit PC (TCG, one host thread per processor), 2
# processors and 2 GiB, no display and no default devices; the kernel and initramfs of the
# image (Debian's, and one of its own); the host's folder SHARE shared over 9p under the same path; the serial
# console written to a file, where cmake/vm/init reports with "korvanta-vm: ..." lines.

# Starts the machine in the background and sets vm_pid. qemu is killed when the calling
# shell dies, however it dies; vm_stop ends it otherwise.
# Usage: vm_start IMAGE_DIR MODE SHARE CONSOLE_LOG QEMU_LOG [QEMU_OPTION...]
vm_start() {
  local image=$1 mode=$2 share=$3
  vm_console=$4
  local log=$5
  shift 5
  # The share's path goes into the kernel's command line (split at spaces) and into
  # qemu's options (split at commas).
  if [[ "$share" =~ [[:space:],] ]]; then
    vm_reason="the emulated machine cannot share a folder whose path holds a space or a comma: $share"
    return 1
  fi
  : >"$vm_console"
  setpriv --pdeathsig KILL qemu-system-i386 -nodefaults -display none -no-reboot \
    -accel tcg,thread=multi -smp 2 -m 2048 \
    -serial "file:$vm_console" \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "console=ttyS0 quiet panic=1 korvanta.mode=$mode korvanta.share=$share" \
    -virtfs "local,path=$share,mount_tag=share,security_model=none,multidevs=remap" \
    "$@" </dev/null >>"$log" 2>&1 &
  vm_pid=$!
}

# Waits until the console says "korvanta-vm: WORD". Otherwise, when the machine reports a
# failure, stops, or takes longer than SECONDS, sets vm_reason and returns 1.
# Usage: vm_wait_for WORD SECONDS
vm_wait_for() {
  local word=$1 deadline=$((SECONDS + $2)) line
  while :; do
    line=$(grep -a -m1 -E "^korvanta-vm: ($word|failed)" "$vm_console" | tr -d '\r')
    case "$line" in
      "korvanta-vm: $word") return 0 ;;
      "korvanta-vm: failed"*) vm_reason="the emulated machine ${line#korvanta-vm: }"; return 1 ;;
    esac
    if ! kill -0 "$vm_pid" 2>/dev/null; then
      vm_reason="the emulated machine stopped before it said \"$word\""
      return 1
    fi
    if [ $SECONDS -ge $deadline ]; then
      vm_reason="the emulated machine did not say \"$word\" within $2 s"
      return 1
    fi
    sleep 0.5
  done
}

# Waits until the machine has stopped, SECONDS at most.
vm_wait_stopped() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$vm_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
    sleep 0.5
  done
}

# Ends the machine, if it runs: asked first, killed after 10 s.
vm_stop() {
  [ -n "${vm_pid:-}" ] || return 0
  kill -TERM "$vm_pid" 2>/dev/null || true
  vm_wait_stopped 10
  kill -KILL "$vm_pid" 2>/dev/null || true
  wait "$vm_pid" 2>/dev/null || true
  vm_pid=
}
