#!/bin/sh
cd "$1" || exit 1
printf '%s' '{"v":"2.1.0.7","u":"http://host/file/x.exe","s":"QUJD"}' > plain.txt
printf '%s' '{v:"1",u:"u\"\\n",s:"\u0041"}' > bare.txt
printf '%s' ' { "v" : "1" , "u" : "x" , "s" : "y" } ' > spaced.txt
