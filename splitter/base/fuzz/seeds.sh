#!/bin/sh
# Seeds for the bit reader: a program (its bytes first, its length and the
# cache choice last, where the fuzzer reads them) over the heads of an MPEG-4
# video stream and of an FLV file with MP3 audio.
set -eu
here=$(dirname "$0")
"$here/cut-media.sh" "$1" '*.m4v' 4000
"$here/cut-media.sh" "$1" 'h263-mp3.flv' 4000
for file in "$1"/*.m4v "$1"/*.flv; do
    { printf '\001\040\002\377\003\001\004\377\005\377\001\010\001\103\002\020'; cat "$file"; printf '\020\002'; } > "$file.program"
    rm "$file"
done
