#!/bin/busybox sh
# /init of the USB test VM: loads the USB gadget and HID modules, prepares the
# two virtual units' plumbing, runs the test program and prints the verdict on
# the serial console, then powers off. The host reads:
#   "qv450-vm: init started"        the VM booted
#   "qv450-vm: result PASS|FAIL"    the verdict
/bin/busybox mount -t devtmpfs devtmpfs /dev
exec </dev/console >/dev/console 2>&1
/bin/busybox --install -s /bin
export PATH=/bin LD_LIBRARY_PATH=/lib/x86_64-linux-gnu:/usr/lib/x86_64-linux-gnu
mount -t proc proc /proc
mount -t sysfs sysfs /sys
. /etc/vm-test.conf
echo "qv450-vm: init started (uptime $(cut -d' ' -f1 /proc/uptime) s, kernel $(uname -r))"

verdict() {
  echo "qv450-vm: result $1"
  sync
  poweroff -f
  sleep 10
}

fail() { echo "check: FAILED: $*"; verdict FAIL; }

# Two emulated controllers, one for each virtual unit, at full speed like the
# unit's own USB port.
while read -r m; do
  case "$m" in
    dummy_hcd) args="num=2 is_high_speed=0" ;;
    *) args="" ;;
  esac
  insmod /lib/modules/$m.ko $args || fail "insmod $m"
done < /etc/modules

# The unit with release 200 is a user-space USB device (gadgetfs); gadgetfs
# takes the first free controller when the test program writes its
# descriptors.
mkdir -p /dev/gadget
mount -t gadgetfs gadgetfs /dev/gadget || fail "mount gadgetfs"

# The unit with another release number uses the kernel's HID function
# (configfs), bound to the second controller. Its bcdDevice must be BCD:
# 0x0201, which hidapi reports as 513.
mount -t configfs configfs /sys/kernel/config || fail "mount configfs"
G=/sys/kernel/config/usb_gadget/other
mkdir $G $G/strings/0x409 $G/configs/c.1 $G/functions/hid.0 || fail "configfs gadget"
echo 0x0483 > $G/idVendor
echo 0x5703 > $G/idProduct
echo 0x0201 > $G/bcdDevice
echo 0x0200 > $G/bcdUSB
echo "VLTfx" > $G/strings/0x409/manufacturer
echo "VLTfx Rig" > $G/strings/0x409/product
echo "OTHER-RELEASE" > $G/strings/0x409/serialnumber
echo 0 > $G/functions/hid.0/protocol
echo 0 > $G/functions/hid.0/subclass
echo 64 > $G/functions/hid.0/report_length
# Vendor page 0xFF00, one 64-byte input and one 64-byte output report.
printf '\006\000\377\011\001\241\001\025\000\046\377\000\165\010\225\100\011\001\201\002\225\100\011\001\221\002\300' \
  > $G/functions/hid.0/report_desc
ln -s $G/functions/hid.0 $G/configs/c.1/
echo dummy_udc.1 > $G/UDC || fail "bind the configfs unit to dummy_udc.1"

i=0
while [ ! -c /dev/hidg0 ] && [ $i -lt 500 ]; do sleep 0.01; i=$((i + 1)); done
[ -c /dev/hidg0 ] || fail "no /dev/hidg0"

echo "qv450-vm: modules loaded (uptime $(cut -d' ' -f1 /proc/uptime) s)"
result=PASS
for mode in A B; do
  echo "qv450-vm: --- unit in mode $mode ---"
  $TEST --mode $mode --gadgetfs /dev/gadget --other-unit /dev/hidg0 --rules /etc/qv450.rules || result=FAIL
done
verdict $result
