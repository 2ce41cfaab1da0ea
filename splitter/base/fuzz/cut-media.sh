#!/bin/sh
# cut-media.sh SEEDS PATTERN BYTES: seeds for a parser's fuzz target from the
# splitter's test media (made once into the fuzz tree by the tests' media
# script): the first BYTES of each file matching PATTERN.
set -eu
seeds=$1
media=$seeds/../../splitter-media
"$(dirname "$0")/../tests/make-media.sh" "$media" >/dev/null
for file in "$media"/$2; do
    head -c "$3" "$file" > "$seeds/$(basename "$file")"
done
