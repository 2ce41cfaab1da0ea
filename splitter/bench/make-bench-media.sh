#!/usr/bin/env bash
# Makes the benchmark's media with Debian's ffmpeg into the folder given,
# unless they are already there: bench-200mb.flv (about 200 MB: H.264 720p at
# a high rate with AAC) and bench-720p.m4v (about 30 MB of bare MPEG-4 Visual
# at 720p).
set -euo pipefail
out=$1
mkdir -p "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
if ! [ -s "$out/bench-200mb.flv" ]; then
    ff -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=165" \
        -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=165" \
        -c:v libx264 -preset ultrafast -qp 12 -g 50 -bf 0 -c:a aac -b:a 128k -f flv "$out/bench-200mb.flv.tmp"
    mv "$out/bench-200mb.flv.tmp" "$out/bench-200mb.flv"
fi
if ! [ -s "$out/bench-720p.m4v" ]; then
    ff -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=40" -c:v mpeg4 -q:v 4 -g 50 -bf 0 \
        -f m4v "$out/bench-720p.m4v.tmp"
    mv "$out/bench-720p.m4v.tmp" "$out/bench-720p.m4v"
fi
