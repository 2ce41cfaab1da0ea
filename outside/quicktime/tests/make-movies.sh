#!/usr/bin/env bash
# Makes the QuickTime test movies with Debian's ffmpeg into the folder given.
# Files already there are kept; a lock keeps concurrent callers from making
# the same file twice.
#
# Pictures are lavfi's test bars (smptebars: seven bars across the top two
# thirds); sound is a sine of 1000 Hz at 44.1 kHz, amplitude 1/8, the same
# on both channels. Movie and track time scales
# are 600, but for the H.264 movies' video tracks.
set -euo pipefail
out=${1:?folder}
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9

make() {   # make NAME ffmpeg-arguments...
    local name=$1; shift
    [ -s "$out/$name" ] && return
    # Inputs first; a movie time scale in the arguments wins over the 600 here.
    local inputs=()
    while [ "$1" = -f ] && [ "$3" = -i ]; do inputs+=("$1" "$2" "$3" "$4"); shift 4; done
    ffmpeg -nostdin -hide_banner -loglevel error -y "${inputs[@]}" -movie_timescale 600 "$@" -f mov "$out/.tmp.$name"
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
# The movie's own time scale (1000) is not its video track's (600).
make scale1000.mov $bars -c:v qtrle -pix_fmt rgb24 $scale600 -movie_timescale 1000
# Two sound tracks, the first disabled: 500 Hz, then the usual 1000 Hz.
make disabled-first.mov -f lavfi -i "sine=frequency=500:sample_rate=44100:duration=2,pan=stereo|c0=c0|c1=c0" $sine \
    -map 0 -map 1 -c:a pcm_s16be -disposition:a:0 0 -disposition:a:1 default
# Frame n is all grey level 4n; one key frame a second, so seeks decode from a key frame.
make grey-ramp.mov -f lavfi -i "color=black:size=64x48:rate=30:duration=2,format=rgb24,geq=r=4*N:g=4*N:b=4*N" \
    -c:v qtrle -pix_fmt rgb24 -g 30 $scale600
# H.264 with B-frames: pictures are shown in another order than they are
# decoded, and their times are composition times (25 a second, time scale 12800).
# Frame n is grey level 4n, as above; key frames at 0 and 25.
make h264-grey-ramp.mov -f lavfi -i "color=black:size=64x48:rate=25:duration=2,format=rgb24,geq=r=4*N:g=4*N:b=4*N" \
    -c:v libx264 -bf 3 -g 25 -qp 1 -pix_fmt yuv444p
# An ordinary x264 and AAC movie of 4 s (x264's defaults reorder pictures too).
make h264-aac.mov -f lavfi -i smptebars=size=320x240:rate=25:duration=4 \
    -f lavfi -i "sine=frequency=1000:sample_rate=44100:duration=4" -c:v libx264 -c:a aac -ac 2
