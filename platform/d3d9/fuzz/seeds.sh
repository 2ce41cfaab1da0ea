#!/bin/sh
# Small PNG and JPEG pictures from ffmpeg: colour, alpha, grey, palette, tiny.
cd "$1" || exit 1
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=16x12 -frames:v 1 rgb.png
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=16x12 -frames:v 1 -pix_fmt rgba alpha.png
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=8x8 -frames:v 1 -pix_fmt gray grey.png
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=8x8 -frames:v 1 -pix_fmt pal8 palette.png
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=16x16 -frames:v 1 colour.jpg
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=16x16 -frames:v 1 -pix_fmt gray grey.jpg
