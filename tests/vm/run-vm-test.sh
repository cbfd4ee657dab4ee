#!/usr/bin/env bash
# Runs the USB end-to-end test in a throwaway virtual machine.
#
# Builds a small initramfs (static busybox, the Debian kernel's USB gadget and
# HID modules, the test program with its shared libraries, the udev rule),
# boots it in QEMU and reads the verdict from the serial console. Inside, the
# kernel's dummy host/device controller carries a user-space USB unit
# (gadgetfs) whose protocol side is the simulated unit, and the program's own
# hidapi backend and HIDClass talk to it over usbhid and hidraw.
#
# Everything comes from scripts/install-deps.sh: qemu-system-x86,
# busybox-static, cpio, xz-utils and the kernel (linux-image-amd64).
#
# Usage: run-vm-test.sh [options] PROGRAM [PROGRAM...]
#   PROGRAM            a program copied into the VM's /bin with its libraries;
#                      the first one is the test that /init runs (vm-init.sh)
#   --rules FILE       udev rule copied to /etc/qv450.rules in the VM
#   --work DIR         work folder (default: ./vm-work)
#   --kernel-cache DIR where the unpacked kernel is kept (default: WORK/kernel)
#   --timeout S        bound of the whole VM run (default 150)
#   --boot-timeout S   bound from QEMU start to /init running (default 60)
#   --force-boot-failure panic|hang
#                      panic: the kernel finds no init and panics (and halts);
#                      hang:  the virtual CPU never starts, nothing is printed.
#                      Either way the run must end as a boot failure, fast.
#   --accel kvm|tcg    default: kvm only with a hardware KVM module, else tcg
#   --verbose          keep the kernel's messages on the console
#
# Exit status: 0 passed; 1 the test failed or hung inside the VM; 2 the VM did
# not boot (no /init within the bound, kernel panic, QEMU failed); 3 the host
# lacks something (package, kernel). Never "skipped".
set -euo pipefail

WORK=$PWD/vm-work
KCACHE=""
RULES=""
VM_TIMEOUT=150
BOOT_TIMEOUT=60
FORCE=""
ACCEL=""
VERBOSE=0
PROGRAMS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --rules) RULES=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --kernel-cache) KCACHE=$2; shift 2 ;;
    --timeout) VM_TIMEOUT=$2; shift 2 ;;
    --boot-timeout) BOOT_TIMEOUT=$2; shift 2 ;;
    --force-boot-failure) FORCE=$2; shift 2 ;;
    --accel) ACCEL=$2; shift 2 ;;
    --verbose) VERBOSE=1; shift ;;
    -*) echo "run-vm-test: unknown option $1" >&2; exit 3 ;;
    *) PROGRAMS+=("$1"); shift ;;
  esac
done
case "$FORCE" in ""|panic|hang) ;; *) echo "run-vm-test: --force-boot-failure panic|hang" >&2; exit 3 ;; esac

T0=${EPOCHREALTIME/./}
elapsed() { local d=$(( ${EPOCHREALTIME/./} - T0 )); printf '%d.%02d' $((d / 1000000)) $((d % 1000000 / 10000)); }
say() { printf '[%6ss] %s\n' "$(elapsed)" "$*"; }
die() { local code=$1; shift; say "FAIL: $*"; exit "$code"; }

# --- host tools and kernel ------------------------------------------------------------
need=""
for tool in qemu-system-x86_64 cpio xz ldd; do
  command -v "$tool" >/dev/null || need="$need $tool"
done
BUSYBOX=/bin/busybox
if [ ! -x "$BUSYBOX" ] || ldd "$BUSYBOX" >/dev/null 2>&1; then
  need="$need busybox(static)"   # the dynamic busybox would need its libraries in the VM
fi
[ -z "$need" ] || die 3 "missing on this machine:$need (run scripts/install-deps.sh)"
[ ${#PROGRAMS[@]} -gt 0 ] || [ -n "$FORCE" ] || die 3 "no test program given"
for p in "${PROGRAMS[@]}"; do [ -x "$p" ] || die 3 "not an executable: $p"; done
[ -z "$RULES" ] || [ -f "$RULES" ] || die 3 "no udev rule file $RULES"

# The newest installed kernel that has the modules the test needs.
KVER=""
for k in $(ls -1 /boot/vmlinuz-* 2>/dev/null | sed 's|^/boot/vmlinuz-||' | sort -V -r); do
  if [ -f "/lib/modules/$k/modules.dep" ] && grep -q '/dummy_hcd\.ko' "/lib/modules/$k/modules.dep"; then
    KVER=$k
    break
  fi
done
[ -n "$KVER" ] || die 3 "no kernel with dummy_hcd in /boot and /lib/modules (linux-image-amd64; run scripts/install-deps.sh)"
MODDIR=/lib/modules/$KVER

# The bzImage carries the kernel as an xz stream. Booting the ELF inside it
# through QEMU's PVH entry skips the firmware and the decompression, which
# under software emulation take seconds. The bzImage is the fallback.
KCACHE=${KCACHE:-$WORK/kernel}
mkdir -p "$WORK" "$KCACHE"
KIMG=$KCACHE/vmlinux-$KVER
if [ ! -s "$KIMG" ]; then
  tmp=$KIMG.$$   # two runs may unpack at once: each its own file, then an atomic rename
  off=$(LC_ALL=C grep -abo $'\xfd''7zXZ' "/boot/vmlinuz-$KVER" | head -1 | cut -d: -f1 || true)
  if [ -n "$off" ] && tail -c +$((off + 1)) "/boot/vmlinuz-$KVER" > "$tmp.xz" \
     && xz -dc --single-stream "$tmp.xz" > "$tmp" 2>/dev/null \
     && [ "$(head -c 4 "$tmp" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; then
    mv "$tmp" "$KIMG"
  else
    rm -f "$tmp"
    KIMG=/boot/vmlinuz-$KVER
  fi
  rm -f "$tmp.xz"
fi

# --- initramfs ------------------------------------------------------------------------
R=$WORK/root
rm -rf "$R"
mkdir -p "$R"/{bin,dev,proc,sys,tmp,etc,lib/modules}
cp "$BUSYBOX" "$R/bin/busybox"
HERE=$(cd "$(dirname "$0")" && pwd)
cp "$HERE/vm-init.sh" "$R/init"
chmod 755 "$R/init"

# Modules in load order: each one after what modules.dep says it needs.
WANT="dummy_hcd gadgetfs libcomposite usb_f_hid usbhid hid-generic"
declare -A seen=()
order=()
add_module() {   # $1 = path relative to $MODDIR
  local rel=$1 line dep deps
  [ -z "${seen[$rel]:-}" ] || return 0
  seen[$rel]=1
  line=$(grep -m1 "^$rel:" "$MODDIR/modules.dep") || die 3 "$rel not in $MODDIR/modules.dep"
  deps=${line#*:}
  for dep in $deps; do add_module "$dep"; done
  order+=("$rel")
}
for m in $WANT; do
  rel=$(grep -m1 -E "(^|/)$m\.ko(\.xz)?:" "$MODDIR/modules.dep" | cut -d: -f1) \
    || die 3 "kernel $KVER has no module $m"
  add_module "$rel"
done
: > "$R/etc/modules"
for rel in "${order[@]}"; do
  name=$(basename "$rel")
  case "$name" in
    *.ko.xz) xz -dc "$MODDIR/$rel" > "$R/lib/modules/${name%.xz}"; name=${name%.xz} ;;
    *.ko) cp "$MODDIR/$rel" "$R/lib/modules/$name" ;;
    *) die 3 "cannot load module $rel" ;;
  esac
  echo "${name%.ko}" >> "$R/etc/modules"
done

# The programs and every shared library they load.
for p in "${PROGRAMS[@]}"; do cp "$p" "$R/bin/"; done
for lib in $(for p in "${PROGRAMS[@]}"; do ldd "$p"; done | 
             awk '$2 == "=>" && $3 ~ /^\// {print $3} NF == 2 && $1 ~ /^\// {print $1}' | sort -u); do
  mkdir -p "$R$(dirname "$lib")"
  cp -L "$lib" "$R$lib"
done
[ -z "$RULES" ] || cp "$RULES" "$R/etc/qv450.rules"
{
  echo "TEST=$(basename "${PROGRAMS[0]:-none}")"
  echo "FORCED=$FORCE"
} > "$R/etc/vm-test.conf"

INITRD=$WORK/initramfs.cpio
(cd "$R" && find . | cpio -o -H newc --quiet) > "$INITRD"
say "initramfs $(du -h "$INITRD" | cut -f1), kernel $KVER ($(basename "$KIMG"))"

# --- boot; the verdict comes back on the serial console ---------------------------------
LOG=$WORK/console.log
QPID=""
cleanup() { if [ -n "$QPID" ]; then kill "$QPID" 2>/dev/null || true; fi; }
trap cleanup EXIT

# The VM powers off right after its verdict; this long at most.
POWEROFF_GRACE=10

# boot ACCEL BOOT_BOUND: sets BOOTED (0/1), VERDICT (PASS, FAIL, or empty), WHY.
boot() {
  local accel=$1 boot_bound=$2 cpu=max extra=() append="console=ttyS0 panic=-1"
  [ "$accel" = kvm ] && cpu=host
  [ "$VERBOSE" = 1 ] || append="$append quiet"
  case "$FORCE" in
    panic) append="console=ttyS0 quiet panic=0 rdinit=/no-such-init" ;;   # panics, then halts for ever
    hang) extra=(-S) ;;                                               # the CPU never starts
  esac
  BOOTED=0 VERDICT="" WHY=""
  say "booting (accel=$accel, /init within ${boot_bound}s, whole run within ${VM_TIMEOUT}s)"
  local start=${EPOCHREALTIME/./} fd line now left limit verdict_at=0
  exec {fd}< <(exec qemu-system-x86_64 -M pc -accel "$accel" -cpu "$cpu" -m 384 -smp 1 \
      -nodefaults -no-user-config -display none -monitor none -no-reboot -serial stdio \
      -kernel "$KIMG" -initrd "$INITRD" -append "$append" "${extra[@]}" </dev/null 2>&1)
  QPID=$!
  : > "$LOG"
  while :; do
    now=${EPOCHREALTIME/./}
    if [ -n "$VERDICT" ]; then limit=$(( verdict_at + POWEROFF_GRACE ))
    elif [ "$BOOTED" = 1 ]; then limit=$VM_TIMEOUT
    else limit=$boot_bound; fi
    left=$(( limit - (now - start) / 1000000 ))
    if [ "$left" -le 0 ]; then
      if [ -n "$VERDICT" ]; then WHY="the VM did not power off"
      elif [ "$BOOTED" = 1 ]; then WHY="no verdict within ${VM_TIMEOUT}s"
      else WHY="/init did not start within ${boot_bound}s"; fi
      break
    fi
    if IFS= read -r -t "$left" -u "$fd" line; then
      line=${line%$'\r'}
      now=${EPOCHREALTIME/./}
      printf '  vm+%d.%02ds| %s\n' $(( (now - start) / 1000000 )) $(( (now - start) % 1000000 / 10000 )) "$line" | tee -a "$LOG"
      case "$line" in
        *"qv450-vm: init started"*) BOOTED=1 ;;
        *"qv450-vm: result PASS"*) VERDICT=PASS verdict_at=$(( (now - start) / 1000000 )) ;;
        *"qv450-vm: result FAIL"*) VERDICT=FAIL verdict_at=$(( (now - start) / 1000000 )) ;;
        *"Kernel panic"*) WHY="kernel panic"; break ;;
      esac
    else
      [ $? -gt 128 ] && continue   # the time-out is checked at the top
      WHY="QEMU exited"            # end of output
      break
    fi
  done
  kill "$QPID" 2>/dev/null || true
  wait "$QPID" 2>/dev/null || true
  QPID=""
  exec {fd}<&-
}

if [ -z "$ACCEL" ]; then
  ACCEL=tcg   # nested or para-virtual KVMs cannot run this guest: only a hardware KVM module counts
  if [ -r /dev/kvm ] && [ -w /dev/kvm ] && { [ -d /sys/module/kvm_intel ] || [ -d /sys/module/kvm_amd ]; }; then
    ACCEL=kvm
  fi
fi
if [ "$ACCEL" = kvm ]; then
  # A KVM guest boots in a second or two; one that does not gets a short bound,
  # so that the software-emulated retry still fits the test's budget.
  boot kvm $(( BOOT_TIMEOUT < 20 ? BOOT_TIMEOUT : 20 ))
  if [ "$BOOTED" = 0 ] && [ -z "$FORCE" ]; then
    say "KVM did not reach /init ($WHY); again with software emulation"
    boot tcg "$BOOT_TIMEOUT"
  fi
else
  boot "$ACCEL" "$BOOT_TIMEOUT"
fi

[ "$BOOTED" = 1 ] || die 2 "the VM did not boot: $WHY"
[ -n "$VERDICT" ] || die 1 "the test did not finish: $WHY"
grep -E '\| (measure|check):' "$LOG" | sed 's/^ *vm+[0-9.]*s| /  /' || true
[ "$VERDICT" = PASS ] || die 1 "the test failed inside the VM (console: $LOG)"
say "PASS"
