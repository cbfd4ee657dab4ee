#!/usr/bin/env bash
# Installs a build into two prefixes given only at install time (the second
# relative to the folder the install runs in, with a space) and checks what a user and the desktop's menu
# get there: the program without its symbols, the program's pictures and not
# the tests', and a desktop entry whose Exec lines start the program installed
# under that very prefix. A third install, told not to strip, keeps the
# program's symbols.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d "$build/install-check-XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=0
for given in "$work/first" "second prefix" "$work/unstripped"; do
  install=(cmake --install "$build" --prefix "$given")
  symbols=absent
  if [ "$given" = "$work/unstripped" ]; then
    install=(cmake -DCMAKE_INSTALL_PREFIX="$given" -DQV450_INSTALL_STRIP=OFF -P "$build/cmake_install.cmake")
    symbols=present
  fi
  (cd "$work" && "${install[@]}") > "$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
  prefix=$given
  case $given in /*) ;; *) prefix=$work/$given ;; esac
  program=$prefix/bin/qv450-edit
  if [ ! -x "$program" ]; then
    echo "no program at $program"
    failed=1
  else
    sections=$(readelf -S --wide "$program")
    if [ $symbols = absent ] && grep -q -E '\.debug_|\.symtab' <<<"$sections"; then
      echo "$program is installed with its debug information or symbol table"
      failed=1
    elif [ $symbols = present ] && ! grep -q -F .symtab <<<"$sections"; then
      echo "$program is installed without its symbol table"
      failed=1
    fi
  fi
  tests_own=$(find "$prefix/share/qv450-edit" -name 'test_*')
  if [ -n "$tests_own" ]; then
    printf 'the tests'"'"' own files are installed:\n%s\n' "$tests_own"
    failed=1
  fi
  argument=$program
  case $program in *" "*) argument="\"$program\"" ;; esac
  expected="Exec=$argument
Exec=env QV450_SIMULATOR=app $argument"
  entry=$prefix/share/applications/qv450-edit.desktop
  got=$(grep '^Exec=' "$entry" || true)
  if [ "$got" != "$expected" ]; then
    printf 'the Exec lines of %s are\n%s\ninstead of\n%s\n' "$entry" "$got" "$expected"
    failed=1
  fi
done
exit "$failed"
