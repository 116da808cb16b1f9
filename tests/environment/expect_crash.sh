#!/bin/sh
# Runs a crashing program through the test emulator. Passes when Wine reports the unhandled
# exception and the program ends with a failure code; with a crash debugger started instead it
# would wait into CTest's timeout. (Under qemu-i386 Wine reports the fault as an illegal
# instruction, so the kind of exception is not checked.)
out=$("$@" 2>&1)
code=$?
printf '%s\nexit code %s\n' "$out" "$code"
[ "$code" -ne 0 ] && printf '%s\n' "$out" | grep -q 'Unhandled'
