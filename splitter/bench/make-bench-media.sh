#!/usr/bin/env bash
# Makes the benchmark's FLV (about 200 MB: H.264 720p at a high rate with AAC)
# with Debian's ffmpeg into the path given, unless it is already there.
set -euo pipefail
out=$1
[ -s "$out" ] && exit 0
mkdir -p "$(dirname "$out")"
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=165" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=165" \
    -c:v libx264 -preset ultrafast -qp 12 -g 50 -bf 0 -c:a aac -b:a 128k -f flv "$out.tmp"
mv "$out.tmp" "$out"
