#!/usr/bin/env bash
# Makes the benchmark's media with Debian's ffmpeg into the folder given,
# unless they are already there: bench-200mb.flv (about 200 MB: H.264 720p at
# a high rate with AAC), bench-200mb.mkv and bench-200mb.mp4 (the same
# streams in Matroska and in MP4),
# bench-720p.m4v (about 30 MB of bare MPEG-4 Visual at 720p) and bench.rm
# (RealVideo 2 at 640x360 with AC-3, about 55 MB).
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
if ! [ -s "$out/bench-200mb.mkv" ]; then
    ff -i "$out/bench-200mb.flv" -c copy -f matroska "$out/bench-200mb.mkv.tmp"
    mv "$out/bench-200mb.mkv.tmp" "$out/bench-200mb.mkv"
fi
if ! [ -s "$out/bench-200mb.mp4" ]; then
    ff -i "$out/bench-200mb.flv" -c copy -f mp4 "$out/bench-200mb.mp4.tmp"
    mv "$out/bench-200mb.mp4.tmp" "$out/bench-200mb.mp4"
fi
if ! [ -s "$out/bench-720p.m4v" ]; then
    ff -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=40" -c:v mpeg4 -q:v 4 -g 50 -bf 0 \
        -f m4v "$out/bench-720p.m4v.tmp"
    mv "$out/bench-720p.m4v.tmp" "$out/bench-720p.m4v"
fi
if ! [ -s "$out/bench.rm" ]; then
    ff -f lavfi -i "testsrc2=size=640x360:rate=25:duration=120" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=120" \
        -c:v rv20 -b:v 4M -g 50 -c:a ac3 -b:a 192k -f rm "$out/bench.rm.tmp"
    mv "$out/bench.rm.tmp" "$out/bench.rm"
fi
