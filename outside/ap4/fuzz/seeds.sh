#!/bin/sh
# Seed files: small MP4 and QuickTime movies made with ffmpeg (H.264 and AAC,
# MPEG-4 Visual and MP3, a timed-text track with chapters).
cd "$1" || exit 1
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
video="-f lavfi -i testsrc=size=32x24:rate=5:duration=1"
audio="-f lavfi -i sine=sample_rate=8000:duration=1"
ff $video $audio -c:v libx264 -preset ultrafast -c:a aac -b:a 16k -f mp4 avc-aac.mp4
ff $video $audio -c:v mpeg4 -c:a libmp3lame -b:a 16k -f mov mpeg4-mp3.mov
printf '1\n00:00:00,100 --> 00:00:00,500\nHi\n' > subtitles.srt
ff $video -i subtitles.srt -c:v libx264 -preset ultrafast -c:s mov_text -f mp4 text.mp4
rm -f subtitles.srt
