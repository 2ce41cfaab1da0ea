#!/bin/sh
# Seed hives: what the store writes, with every value kind.
cd "$1" || exit 1
printf '%s\n' '[]' '[Software\Corvalen\Strimo]' '"AutoRun"=dword:00000001' '"BGPath"=sz:"/home/u/bg.png\u0001\\\"x"' \
    '@=sz:"default value"' '"Blob"=hex:00,ff,10' '"Odd"=hex(1):41,00,42' '; comment' > full.reg
printf '[Software]\n"a"=sz:"\\ud800"\n[Software\\Sub]\n' > surrogate.reg
printf '' > empty.reg
