#!/usr/bin/env bash
# The native program as a process on a machine folder: exit code 0, nothing
# printed, whatever its arguments, and the machine saved back afterwards.
set -u
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description, condition
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

make_machine() {
  rm -rf "$work/m" && mkdir -p "$work/m/C/Windows/inf"
  cat > "$work/m/registry.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{6D1A4C27-8E5B-4B90-9F13-2C7A05E4B8D6}]
"DisplayName"="Ondrevix"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run]
"Halvoren"="C:\\Program Files\\Velmorin\\Halvoren.exe"
"Other"="C:\\other.exe"

REG
  printf '"#32770" "Halvoren"\n' > "$work/m/windows.txt"
}

for args in "" "/S" "--help extra words" "/?"; do
  make_machine
  out=$(UNINSTALL_MACHINE="$work/m" "$program" $args 2>"$work/err")
  code=$?
  check "exit code 0 with arguments '$args'" "[ $code -eq 0 ]"
  check "nothing on stdout with arguments '$args'" "[ -z \"\$out\" ]"
  check "nothing on stderr with arguments '$args'" "[ ! -s \"$work/err\" ]"
  check "uninstall entry gone with arguments '$args'" "! grep -q '6D1A4C27' \"$work/m/registry.reg\""
  check "Run value gone, neighbour kept with arguments '$args'" \
    "! grep -q '\"Halvoren\"' \"$work/m/registry.reg\" && grep -q '\"Other\"' \"$work/m/registry.reg\""
  check "companion closed with arguments '$args'" "[ ! -s \"$work/m/windows.txt\" ]"
  check "journal written with arguments '$args'" "grep -q '^Sleep(1000)' \"$work/m/journal.txt\""
done

# Without a machine folder the program runs on an empty machine, silently.
out=$(env -u UNINSTALL_MACHINE "$program" 2>&1)
code=$?
check "no machine folder: exit code 0 and silent" "[ $code -eq 0 ] && [ -z \"\$out\" ]"

echo "$((4 * 7 + 1 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
