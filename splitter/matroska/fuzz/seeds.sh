#!/bin/sh
# Seeds: the heads of the splitter test media of this format.
exec "$(dirname "$0")/../../base/fuzz/cut-media.sh" "$1" '*.mkv' 16384
