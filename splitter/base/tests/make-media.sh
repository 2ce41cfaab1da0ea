#!/usr/bin/env bash
# Makes the splitter's test media with Debian's ffmpeg into the folder given
# (default: ./splitter-media), with what ffprobe reports for each file beside
# it (NAME.packets: codec type, dts in seconds, size, flags per packet; NAME.extradata:
# codec type and the stream's extra data in hex, per stream). Files already
# there are kept, so the tests can call this as often as they like; a lock
# keeps concurrent callers from making the same file twice.
set -euo pipefail
out=${1:-splitter-media}
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

extradata() {   # extradata FILE: one line per stream
    ffprobe -v error -show_streams -show_data -show_entries stream=codec_type,extradata -of default=nw=1 "$1" |
        awk '/^codec_type=/ { if (type != "") print type "," hex; type = substr($0, 12); hex = ""; next }
             /^[0-9a-f]+: / { line = substr($0, 11, 39); gsub(/ /, "", line); hex = hex line }
             END { if (type != "") print type "," hex }'
}

make() {   # make NAME ffmpeg-arguments...
    local name=$1; shift
    if ! [ -s "$out/$name" ] || ! [ -s "$out/$name.packets" ]; then
        local tmp="$out/.tmp.$name"
        ff "$@" "$tmp"
        ffprobe -v error -show_packets -show_entries packet=codec_type,dts_time,size,flags -of csv=p=0 "$tmp" \
            > "$tmp.packets"
        mv "$tmp.packets" "$out/$name.packets"
        mv "$tmp" "$out/$name"
    fi
    [ -s "$out/$name.extradata" ] && return
    extradata "$out/$name" > "$out/.tmp.$name.extradata"
    mv "$out/.tmp.$name.extradata" "$out/$name.extradata"
}

video() { echo -f lavfi -i "testsrc=size=$1:rate=25:duration=$2"; }
audio() { echo -f lavfi -i "sine=frequency=440:sample_rate=$1:duration=$2"; }

# H.263 with MP3, and H.264 with AAC at a size other than 320x240.
make h263-mp3.flv $(video 176x144 6) $(audio 22050 6) -c:v flv -g 25 -c:a libmp3lame -ar 22050 -b:a 64k -f flv
make h264-aac.flv $(video 640x360 6) $(audio 44100 6) -c:v libx264 -preset ultrafast -g 25 -bf 0 \
    -c:a aac -b:a 96k -f flv
# Key frames well above 64 KiB.
make h264-big-keys.flv -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=3" -c:v libx264 -preset ultrafast \
    -qp 4 -g 25 -bf 0 -f flv
# Every picture size code of the H.263 header, and a custom size.
for size in 352x288 176x144 128x96 320x240 160x120 200x100; do
    make "h263-$size.flv" $(video "$size" 0.2) -c:v flv -f flv
done
# A bare MPEG-4 Visual stream.
make plain.m4v $(video 320x240 3) -c:v mpeg4 -g 25 -bf 0 -f m4v
# Ten pictures a second, but the rate is not fixed in the stream header.
make rate10.m4v -f lavfi -i "testsrc=size=160x120:rate=10:duration=1" -c:v mpeg4 -f m4v
