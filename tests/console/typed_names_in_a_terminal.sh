#!/bin/sh
# Usage: typed_names_in_a_terminal.sh PROGRAM
# Runs under cmake/wine-run, which starts it with wine set up. Letter L of the Windows
# PROGRAM in a real console: a terminal made by util-linux's script, whose typed UTF-8
# text wine's console hands over in the console's input code page. Checks that a picture
# name typed with "é" names the file (the program reads typed text in the ANSI code page,
# 1252, where the console's own OEM page, 437, would make it byte 82), and that the
# console's code pages are its own again once the program has ended.
set -eu
program=$1
. "$(dirname "$0")/terminal.sh"
cp "$program" korvanta.exe

# A black 240 x 320 picture, 24 bits, bottom-up: 54 bytes of headers, then the pixels.
{
  printf 'BM\66\204\3\0\0\0\0\0\66\0\0\0\50\0\0\0\360\0\0\0\100\1\0\0\1\0\30\0'
  printf '\0\0\0\0\0\204\3\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
  head -c 230400 /dev/zero
} >"pic$(printf '\303\251').bmp"

# The console's code page before, the program, then the code page after, in one console.
start_terminal 'wine cmd /c "chcp & korvanta.exe & chcp"'
type_after 1 'Choice:' 'L\r'
type_after 1 'poweroff.bin):' 'out.bin\r'
type_after 1 'n0(PressEnter' 'pic\303\251.bmp\r'
type_after 1 'n1(PressEnter' '\r'
type_after 2 'Choice:' 'Q\r'
wait_until '"Active code page" twice' shows 2 'Activecodepage'
end_terminal

[ -f out.bin ] && [ "$(wc -c <out.bin)" -eq 153600 ] ||
  fail "the picture typed as pic$(printf '\303\251').bmp was not read"
pages=$(shown | sed -n 's/.*Activecodepage:\([0-9]*\).*/\1/p')
before=$(echo "$pages" | sed -n 1p)
after=$(echo "$pages" | sed -n 2p)
[ -n "$before" ] && [ "$before" = "$after" ] ||
  fail "the console's code page was $before before the program and $after after it"
echo "passed: pic$(printf '\303\251').bmp read as one frame; code page $before before and after"
