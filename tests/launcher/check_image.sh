#!/bin/sh
# Checks that a launcher is a 64-bit GUI-subsystem image that imports only
# system DLLs: no mingw runtime DLLs travel with it.
# usage: check_image.sh OBJDUMP LAUNCHER.exe
set -eu
headers="$("$1" -p "$2")"
echo "$headers" | grep -q 'Magic[[:space:]]*020b' || { echo "not PE32+: $2"; exit 1; }
echo "$headers" | grep -q 'Subsystem[[:space:]]*00000002' || { echo "not GUI subsystem: $2"; exit 1; }
dlls="$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)"
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|msvcrt.dll|shell32.dll) ;;
    *) echo "unexpected import $dll in $2"; exit 1 ;;
  esac
done
echo "imports: $dlls"
