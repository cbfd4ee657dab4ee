#!/usr/bin/env bash
# Runs scripts/check-unity.sh over made-up source trees under the project's
# src/layers.txt, and compares its verdict with what a unity build makes of
# the files. src/device/files and src/device/firmware are built into one
# target, src/reactive into another.
set -euo pipefail
check=$1
layers=$(dirname "$check")/../src/layers.txt
work=$(mktemp -d "${TMPDIR:-/tmp}/qv450-unity-XXXXXX")
trap 'rm -rf "$work"' EXIT

A=src/device/files/A.cpp
B=src/device/firmware/B.cpp
# ok or bad | file=text | file=text ... (\n in a text is a new line)
cases=(
  "bad|$A=using namespace std;"
  "bad|src/device/files/A.h=namespace dev {\nusing namespace std;\n}"
  "ok|$A=void Foo::run() {\n  using namespace std::chrono;\n}"
  "ok|$A=// using namespace std;\nconst char* s = \"using namespace std;\";\n/* using\nnamespace std; */"
  # Helpers of one name in two files of one target, whatever their parameters.
  "bad|$A=namespace {\nint helper(int a) { return a; }\n}|$B=namespace {\nint helper(const char* a) { return 0; }\n}"
  "bad|$A=namespace dev {\nstatic int helper() { return 1; }\n}|$B=static int helper(int) {\n  return 2;\n}"
  "bad|$A=std::vector<int>\nhelper(int a,\n       int b) {\n  return {};\n}|$B=namespace {\ntemplate <typename T>\nT helper(T t) { return t; }\n}"
  "ok|$A=namespace {\nint helper() { return 1; }\n}|src/reactive/B.cpp=namespace {\nint helper() { return 1; }\n}"
  # Braces in raw strings and character literals do not hide a helper.
  "bad|$A=const char* k = R\"x(\"{)x\";\nchar c = '{';\nnamespace {\nint helper() { return 1; }\n}|$B=namespace {\nint helper(int) { return 1; }\n}"
  # Members, declarations, calls, lambdas, what is inside a function or a
  # class, and a named namespace's own functions are not file-scope helpers.
  "ok|$A=int Foo::helper(int a) {\n  return helper(a);\n}\nint helper(int);\nFoo::Foo() : x_(helper(1)) {\n}|$B=static int helper(int a) {\n  return a;\n}"
  "ok|$A=namespace {\nauto helper = [](int a) {\n  return a;\n};\n}|$B=void Foo::run() {\n  auto helper = [] {};\n  struct L {\n    int helper() { return 1; }\n  };\n}"
  "ok|$A=namespace fnd {\nstd::string helper(int v) {\n  return {};\n}\n}|$B=namespace fnd {\nstd::string helper(const char* v) {\n  return {};\n}\n}"
)

failures=0
total=0
for c in "${cases[@]}"; do
  IFS='|' read -r -a fields <<<"$c"
  want=${fields[0]}
  total=$((total + 1))
  tree="$work/tree"
  rm -rf "$tree"
  mkdir -p "$tree/src" "$tree/sim"
  cp "$layers" "$tree/src/layers.txt"
  for f in "${fields[@]:1}"; do
    mkdir -p "$tree/$(dirname "${f%%=*}")"
    printf '%b\n' "${f#*=}" > "$tree/${f%%=*}"
  done
  if out=$(bash "$check" "$tree" 2>&1); then got=ok; else got=bad; fi
  if [ "$got" != "$want" ]; then
    echo "FAIL: expected $want, got $got for:"
    printf '  %s\n' "${fields[@]:1}"
    echo "$out"
    failures=$((failures + 1))
  fi
done

echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
