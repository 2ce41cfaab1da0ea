#!/bin/sh
# Seed movies: the test movies' codecs (QuickTime RLE pictures, H.264 with
# B-frames, 16- and 24-bit PCM sound) made small with ffmpeg.
cd "$1" || exit 1
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
bars="-f lavfi -i smptebars=size=32x24:rate=10:duration=0.5"
sine="-f lavfi -i sine=frequency=1000:sample_rate=8000:duration=0.5"
ff $bars $sine -c:v qtrle -pix_fmt rgb24 -g 3 -c:a pcm_s16be -movie_timescale 600 -f mov rle-s16be.mov
ff $bars $sine -c:v qtrle -pix_fmt rgb555be -c:a pcm_s24be -f mov rle555-s24be.mov
ff $sine -c:a pcm_s16le -f mov sound-only.mov
ff $bars -c:v libx264 -bf 2 -g 5 -f mov h264-bframes.mov
