#!/usr/bin/env bash
# Checks a release ZIP: exactly the expected files, a 32-bit executable that needs no DLL beyond
# Windows' own, and the resources a user sees (version 1.0.0.1, X86 manifest, the four icons), and
# the one holder of the copyright in the executable, the licence and both read-me files.
set -euo pipefail
zip=$1
fail() { echo "release check: $*" >&2; exit 1; }

files=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$files" = "CTIMNE.txt LICENSE.txt Memovky.exe README.txt " ] || fail "unexpected contents: $files"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
exe=$work/Memovky.exe

objdump=x86_64-w64-mingw32-objdump
$objdump -f "$exe" | grep -q 'file format pei-i386' || fail "Memovky.exe is not a 32-bit executable"
imports=$($objdump -p "$exe" | awk '/DLL Name:/ {print toupper($3)}' | sort -u | tr '\n' ' ')
for dll in $imports; do
  case $dll in
    ADVAPI32.DLL|COMCTL32.DLL|COMDLG32.DLL|GDI32.DLL|KERNEL32.DLL|MSVCRT.DLL|OLE32.DLL|SHELL32.DLL|USER32.DLL) ;;
    *) fail "Memovky.exe needs $dll, which Windows does not have" ;;
  esac
done

resources=$(wrestool -l "$exe")
for want in "--type=14 --name=101" "--type=14 --name=109" "--type=14 --name=110" "--type=14 --name=116" \
            "--type=16 --name=1" "--type=24 --name=1"; do
  grep -q -- "$want " <<<"$resources" || fail "resource missing: $want"
done

version=$(wrestool -x --raw --type=16 --name=1 "$exe" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\0' || true)
grep -q 'FileVersion.*1, 0, 0, 1' <<<"$version" || fail "FileVersion is not 1, 0, 0, 1"
grep -q 'ProductName.*Memovky pro Windows' <<<"$version" || fail "ProductName is not Memovky pro Windows"
fixed=$(wrestool -x --raw --type=16 --name=1 "$exe" | od -v -An -tx4 -w4 | tr -d ' ' | grep -n -m1 'feef04bd' | cut -d: -f1)
[ -n "$fixed" ] || fail "no fixed version block"
wrestool -x --raw --type=16 --name=1 "$exe" | od -v -An -tx4 -w4 | tr -d ' ' | sed -n "$((fixed + 2)),$((fixed + 5))p" \
  | tr '\n' ' ' | grep -q "^00010000 00000001 00010000 00000001 \$" || fail "file or product version number is not 1.0.0.1"

about=$(wrestool -x --raw --type=5 --name=107 "$exe" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\0' || true)
grep -q 'Memovky pro Windows  v. 1.5' <<<"$about" || fail "the About box does not say v. 1.5"

# One holder of the copyright, the maker, wherever it is named.
grep -q 'LegalCopyright.*© 2026 Harvelo' <<<"$version" || fail "the version record's copyright is not Harvelo's"
grep -q '© 2026 Harvelo' <<<"$about" || fail "the About box's copyright is not Harvelo's"
grep -q '^Copyright (c) 2026 Harvelo$' "$work/LICENSE.txt" || fail "LICENSE.txt names another holder"
grep -q '© 2026 Harvelo, harvelo.cz' "$work/CTIMNE.txt" || fail "CTIMNE.txt names another holder"
grep -q '(c) 2026 Harvelo, harvelo.cz' "$work/README.txt" || fail "README.txt names another holder"

manifest=$(wrestool -x --raw --type=24 --name=1 "$exe")
grep -q 'name="Microsoft.Windows.Memovky"' <<<"$manifest" || fail "manifest names another assembly"
[ "$(grep -o 'processorArchitecture="X86"' <<<"$manifest" | wc -l)" -eq 2 ] || fail "manifest is not for X86"
grep -q 'Microsoft.Windows.Common-Controls' <<<"$manifest" || fail "manifest does not ask for common controls 6"
grep -q '<gdiScaling xmlns="http://schemas.microsoft.com/SMI/2017/WindowsSettings">true</gdiScaling>' <<<"$manifest" \
  || fail "manifest does not ask for GDI scaling"

echo "release check: $zip is complete (files, imports, version 1.0.0.1, copyright, X86 manifest, icons)"
