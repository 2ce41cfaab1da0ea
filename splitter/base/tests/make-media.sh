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

# Matroska. ffmpeg: H.264 with Vorbis and SRT subtitles, starting 5 s in; MPEG-4
# with MP3; Dirac; an unknown-size Segment written to a pipe.
srt="$out/.subtitles.srt"
printf '1\n00:00:00,500 --> 00:00:01,500\nFirst\n\n2\n00:00:02,000 --> 00:00:03,000\nSecond\n' > "$srt"
make h264-vorbis-srt.mkv $(video 320x240 4) $(audio 44100 4) -i "$srt" -map 0 -map 1 -map 2 -c:v libx264 \
    -preset ultrafast -g 25 -bf 0 -c:a libvorbis -c:s srt -output_ts_offset 5 -f matroska
make mpeg4-mp3.mkv $(video 176x144 3) $(audio 22050 3) -c:v mpeg4 -g 25 -c:a libmp3lame -f matroska
make dirac.mkv $(video 176x144 1) -c:v vc2 -b:v 600k -f matroska
if [ ! -s "$out/piped.mkv" ] || [ ! -s "$out/piped.mkv.packets" ]; then
    ff $(video 176x144 2) $(audio 22050 2) -c:v mpeg4 -c:a libmp3lame -f matroska - | cat > "$out/.tmp.piped.mkv"
    ffprobe -v error -show_packets -show_entries packet=codec_type,dts_time,size,flags -of csv=p=0 \
        "$out/.tmp.piped.mkv" > "$out/piped.mkv.packets"
    mv "$out/.tmp.piped.mkv" "$out/piped.mkv"
fi

# mkvmerge: AC-3, AAC and MP3 laced into blocks; zlib-compressed frames; no Cues.
merge() {   # merge NAME mkvmerge-arguments...
    local name=$1; shift
    [ -s "$out/$name" ] && [ -s "$out/$name.packets" ] && return
    mkvmerge -q -o "$out/.tmp.$name" "$@" >/dev/null
    ffprobe -v error -show_packets -show_entries packet=codec_type,dts_time,size,flags -of csv=p=0 \
        "$out/.tmp.$name" > "$out/$name.packets"
    mv "$out/.tmp.$name" "$out/$name"
}
[ -s "$out/.laced.ac3" ] || ff $(audio 48000 3) -c:a ac3 -b:a 96k "$out/.laced.ac3"
[ -s "$out/.laced.aac" ] || ff $(audio 44100 3) -c:a aac -b:a 64k -f adts "$out/.laced.aac"
[ -s "$out/.laced.mp3" ] || ff $(audio 44100 3) -c:a libmp3lame -b:a 64k "$out/.laced.mp3"
merge laced.mkv "$out/.laced.ac3" "$out/.laced.aac" "$out/.laced.mp3"
merge zlib.mkv --compression 0:zlib "$out/mpeg4-mp3.mkv"
merge no-cues.mkv --no-cues "$out/h264-vorbis-srt.mkv"

# RealMedia: RealVideo 1 alone; RealVideo 2 with AC-3; RealAudio 1 (14.4).
make rv10.rm $(video 176x144 2) -c:v rv10 -g 25 -f rm
make rv20-ac3.rm $(video 176x144 2) $(audio 48000 2) -c:v rv20 -g 25 -c:a ac3 -b:a 64k -f rm
make real144.rm $(audio 8000 2) -c:a real_144 -ac 1 -f rm

# MP4 and QuickTime: H.264 (with B-frames) and AAC; MPEG-4 Visual and MP3;
# 16:9 MPEG-2 video and AAC; MPEG-1 video and MP2; H.264 with a timed-text
# track and chapters (a QuickTime chapter track and chpl); a .mov.
make h264-aac.mp4 $(video 320x240 3) $(audio 44100 3) -c:v libx264 -preset veryfast -bf 2 -g 25 \
    -c:a aac -b:a 64k -f mp4
make mpeg4-mp3.mp4 $(video 320x240 3) $(audio 44100 3) -c:v mpeg4 -g 25 -c:a libmp3lame -b:a 64k -f mp4
make mpeg2-aac.mp4 $(video 720x576 2) $(audio 48000 2) -c:v mpeg2video -aspect 16:9 -g 12 -c:a aac -f mp4
make mpeg1-mp2.mp4 $(video 352x288 2) $(audio 44100 2) -c:v mpeg1video -g 12 -c:a mp2 -f mp4
chapters="$out/.chapters.txt"
printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=Opening\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Closing\n' \
    > "$chapters"
make text-chapters.mp4 $(video 176x144 2) -i "$srt" -i "$chapters" -map 0 -map 1 -map_metadata 2 -map_chapters 2 \
    -c:v libx264 -preset ultrafast -c:s mov_text -f mp4
make h264-aac.mov $(video 176x144 2) $(audio 22050 2) -c:v libx264 -preset ultrafast -c:a aac -f mov
# QuickTime PCM as ffmpeg writes it: a sample a frame, of 4 bytes (16-bit
# stereo, "twos") and of 2 (8-bit stereo, "raw ").
make pcm-s16be.mov $(audio 44100 2) -ac 2 -c:a pcm_s16be -f mov
make pcm-u8.mov $(audio 22050 1) -ac 2 -c:a pcm_u8 -f mov
# MPEG-1 and 16:9 MPEG-2 elementary video streams.
make mpeg1.m1v $(video 352x288 1) -c:v mpeg1video -f mpeg1video
make mpeg2-16x9.m2v $(video 720x576 1) -c:v mpeg2video -aspect 16:9 -f mpeg2video
