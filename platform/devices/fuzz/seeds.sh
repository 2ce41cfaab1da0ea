#!/bin/sh
# Seed mount tables: the test table's kinds of lines (removable partitions,
# network shares, escaped names, bind mounts) and this machine's own table.
cd "$1" || exit 1
line() { printf '36 25 %s %s %s rw,nosuid shared:7 - %s %s rw\n' "$@"; }
{
    line 8:17 / '/media/me/My\040Stick' vfat /dev/sdb1
    line 8:17 /sub /srv/bind vfat /dev/sdb1
    line 11:0 / /media/cd iso9660 /dev/sr0
    line 0:52 / /mnt/share nfs4 'server:/export\134x'
    line 0:53 / /mnt/win cifs //server/share
    line 0:21 / /proc proc proc
} > table.txt
cat /proc/self/mountinfo > machine.txt 2>/dev/null || true
