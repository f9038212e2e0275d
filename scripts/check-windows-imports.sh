#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that not every Windows installation has: the
# programs are linked statically and ship with nothing beside them.
#   check-windows-imports.sh PROGRAM.exe...
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 PROGRAM.exe..." >&2
  exit 2
fi
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

# Windows's own DLLs; msvcrt is the C runtime mingw-w64 links by default.
system_dlls="advapi32.dll comdlg32.dll dinput8.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll"
system_dlls="$system_dlls oleaut32.dll setupapi.dll shell32.dll shlwapi.dll user32.dll version.dll"
system_dlls="$system_dlls winmm.dll ws2_32.dll"

status=0
for program in "$@"; do
  dlls=$("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  if [ -z "$dlls" ]; then
    echo "FAIL: $program: no imported DLL found (not a Windows program?)" >&2
    status=1
    continue
  fi
  foreign=
  for dll in $dlls; do
    case " $system_dlls " in
      *" $dll "*) ;;
      *) foreign="$foreign $dll" ;;
    esac
  done
  if [ -n "$foreign" ]; then
    echo "FAIL: $(basename "$program") imports DLLs Windows does not have:$foreign" >&2
    status=1
  else
    echo "$(basename "$program"): $(echo $dlls)"
  fi
done
exit $status
