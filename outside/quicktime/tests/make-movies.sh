#!/usr/bin/env bash
# Makes the QuickTime test movies with Debian's ffmpeg into the folder given.
# Files already there are kept; a lock keeps concurrent callers from making
# the same file twice.
#
# Pictures are lavfi's test bars (smptebars: seven bars across the top two
# thirds); sound is a sine of 1000 Hz at 44.1 kHz, amplitude 1/8, the same
# on both channels. Movie and track time scales
# are 600.
set -euo pipefail
out=${1:?folder}
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9

make() {   # make NAME ffmpeg-arguments...
    local name=$1; shift
    [ -s "$out/$name" ] && return
    ffmpeg -nostdin -hide_banner -loglevel error -y "$@" -movie_timescale 600 -f mov "$out/.tmp.$name"
    mv "$out/.tmp.$name" "$out/$name"
}

bars="-f lavfi -i smptebars=size=321x241:rate=30:duration=2"
sine="-f lavfi -i sine=frequency=1000:sample_rate=44100:duration=2,pan=stereo|c0=c0|c1=c0"
scale600="-video_track_timescale 600"

make rgb24-s16be.mov $bars $sine -c:v qtrle -pix_fmt rgb24 $scale600 -c:a pcm_s16be
make rgb555-s16be.mov $bars $sine -c:v qtrle -pix_fmt rgb555be $scale600 -c:a pcm_s16be
make rgb24-s16le.mov $bars $sine -c:v qtrle -pix_fmt rgb24 $scale600 -c:a pcm_s16le
make rgb24-s24be.mov $bars $sine -c:v qtrle -pix_fmt rgb24 $scale600 -c:a pcm_s24be
make sound-only.mov $sine -c:a pcm_s16be
make video-only.mov $bars -c:v qtrle -pix_fmt rgb24 $scale600
# One key frame a second, for seeks that decode from a key frame.
make sparse-keys.mov $bars -c:v qtrle -pix_fmt rgb24 -g 30 $scale600
