#!/usr/bin/env bash
# Holds scripts/check-unity.sh and the compiler to one answer. Each case is a
# made-up source tree under the project's src/layers.txt and the verdict it
# should get. The check must give that verdict over the tree, and so must the
# compiler over a unity build of it: every .cpp file compiles alone, and the
# .cpp files of each target, included one after another into one file as the
# build's batches include them, compile (ok) or fail (bad). A bad case's
# later file therefore holds something whose meaning the earlier file's leak
# changes, a static_assert or a name that turns ambiguous, so that the fault
# the check refuses is one the compiler shows. src/device/files and
# src/device/firmware are built into one target, src/reactive into another.
# Usage: check-unity-test.sh CHECK [COMPILER] (the build's compiler, g++ by
# default)
set -euo pipefail
check=$1
cxx=${2:-g++}
scripts=$(cd "$(dirname "$check")" && pwd)
layers=$scripts/../src/layers.txt
work=$(mktemp -d "${TMPDIR:-/tmp}/qv450-unity-XXXXXX")
trap 'rm -rf "$work"' EXIT

A=src/device/files/A.cpp
B=src/device/firmware/B.cpp
R=src/reactive/B.cpp
# Names a later file declares for itself, which a leak makes ambiguous.
lib='namespace lib { struct Clock {}; }'
own='struct Clock { int t; };\nstatic_assert(sizeof(Clock) == sizeof(int));'
# ok or bad | file=text | file=text ... (\n in a text is a new line)
cases=(
  "bad|$A=$lib\nusing namespace lib;|$B=$own"
  "bad|src/device/files/A.h=$lib\nnamespace dev {\nusing namespace lib;\n}|$A=#include \"device/files/A.h\"|$B=struct Clock { int t; };\nnamespace dev {\nstatic_assert(sizeof(Clock) == sizeof(int));\n}"
  "bad|$A=$lib\nnamespace {\nusing lib::Clock;\n}|$B=$own"
  "bad|$A=#define Clock int\nconstexpr Clock a = 3;|$B=$own"
  # Only an alias is a using-declaration that stays, and only an #undef
  # outside every conditional undefines.
  "bad|$A=namespace lib { template <typename T> bool operator!=(const T&, const T&); }\nusing lib::operator!=;|$B=template <typename T>\nconstexpr bool differs = requires(T a) { a != a; };\nstruct Clock {};\nstatic_assert(!differs<Clock>);"
  "bad|$A=#define Clock int\nconstexpr Clock a = 3;\n#if 0\n#undef Clock\n#endif|$B=$own"
  "bad|$A=#define \\\\\nClock int\nconstexpr Clock a = 3;|$B=$own"
  "bad|$A=/* int */ #define Clock int\nconstexpr Clock a = 3;|$B=$own"
  # In a function, in comments and strings, and undefined at the end, none
  # reaches the next file.
  "ok|$A=$lib\nstruct Foo { void run(); };\nvoid Foo::run() {\n  using namespace lib;\n  using lib::Clock;\n}\n// using namespace lib;\nconst char* s = \"using namespace lib;\";\n/* using\nnamespace lib; */\n#define Clock int\nconstexpr Clock a = 3;\n#undef Clock|$B=$own"
  # Helpers of one name in two files of one target, whatever their
  # parameters (braces among them too), static, in an anonymous namespace,
  # or in a named one that no header declares them in.
  "bad|$A=namespace {\nconstexpr int helper(int) { return 1; }\n}|$B=namespace {\nconstexpr int helper(long) { return 2; }\nstatic_assert(helper(0) == 2);\n}"
  "bad|$A=namespace {\nconstexpr int total(int a, int start = {}) { return a + start; }\n}|$B=namespace {\nstruct S { const char* u; };\nconstexpr int total(long a, S = S{\"ms\"}) { return 2 * a; }\nstatic_assert(total(1) == 2);\n}"
  "bad|$A=namespace dev {\nstatic constexpr int helper(int) { return 1; }\n}|$B=static constexpr int helper(long) { return 2; }\nnamespace dev {\nstatic_assert(helper(0) == 2);\n}"
  "bad|$A=constexpr int\nhelper(int a,\n       int b = 0) {\n  return a + b + 1;\n}|$B=namespace {\ntemplate <typename T>\nconstexpr T helper(T t) { return t; }\n}\nstatic_assert(helper(1) == 1);"
  "bad|$A=namespace fnd {\nconstexpr int helper(int) { return 1; }\n}|$B=namespace fnd {\nconstexpr int helper(long) { return 2; }\nstatic_assert(helper(0) == 2);\n}"
  # The name is the one before the parameters, not the first ( of the line.
  "bad|$A=#include <functional>\nnamespace {\nstd::function<int()> source(int) { return {}; }\n}|$B=#include <functional>\n#include <type_traits>\nnamespace {\nstd::function<long()> source(long) { return {}; }\n}\nstatic_assert(std::is_same_v<decltype(source(0)), std::function<long()>>);"
  # A header declares a function of the target only with its parameters,
  # and a helper in an anonymous namespace is one whatever the headers say.
  "bad|src/device/files/T.h=namespace dev {\nconstexpr int trapHelper(int v);\n}|$A=namespace dev {\nconstexpr int trapHelper(long v) { return 2 * v; }\n}|$B=#include \"device/files/T.h\"\nnamespace dev {\nconstexpr int trapHelper(int v) { return v; }\nstatic_assert(trapHelper(3L) == 3);\n}"
  "bad|src/device/files/H.h=namespace fnd {\nint helper(int v);\nint helper(long v);\n}|$A=namespace fnd {\nnamespace {\nconstexpr int helper(long v) { return 1; }\n}\n}|$B=namespace fnd {\nnamespace {\nconstexpr int helper(int v) { return 2; }\nstatic_assert(helper(0L) == 2);\n}\n}"
  "ok|$A=namespace {\nconstexpr int helper(int) { return 1; }\n}|$R=namespace {\nconstexpr int helper(long) { return 2; }\nstatic_assert(helper(0) == 2);\n}"
  # Braces in raw strings and character literals do not hide a helper.
  "bad|$A=const char* k = R\"x(\"{)x\";\nchar c = '{';\nnamespace {\nconstexpr int helper(int) { return 1; }\n}|$B=namespace {\nconstexpr int helper(long) { return 2; }\nstatic_assert(helper(0) == 2);\n}"
  # Members, declarations, calls, lambdas, what is inside a function or a
  # class, and the functions a header of the target declares are not
  # file-scope helpers.
  "ok|$A=struct Foo {\n  int helper(int a);\n  Foo();\n  void run();\n  int x_;\n};\nint helper(long);\nint Foo::helper(int a) {\n  return a;\n}\nFoo::Foo() : x_(helper(1)) {\n}\nvoid Foo::run() {\n  auto helper = [] {};\n  struct L {\n    int helper() { return 1; }\n  };\n}\nnamespace {\nauto helper = [](int a) {\n  return a;\n};\n}|$B=static int helper(int a) {\n  return a;\n}"
  "ok|src/device/files/A.h=namespace fnd {\nint helper(int v);\nint helper(const char* v);\n}|$A=#include \"device/files/A.h\"\nnamespace fnd {\nint helper(int v) { return v; }\n}|$B=#include \"device/files/A.h\"\nnamespace fnd {\nint helper(const char* v) { return v != nullptr; }\n}"
)

# compiles FILE: whether the compiler takes FILE (a .cpp of the tree, or a
# batch) with the tree's include folders.
compiles() {
  "$cxx" -std=c++20 -fsyntax-only -I "$tree/src" -I "$tree" -x c++ "$1" > "$work/compiler.out" 2>&1
}

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
  # The compiler's verdict: each file alone must compile, so that a batch
  # that fails fails for what the files do to one another.
  compiled=ok
  alone=""
  sources=$(cd "$tree" && find src sim -name '*.cpp' | sort |
    awk "$(cat "$scripts/layers.awk")"' BEGIN { readLayers("src/layers.txt") } { print partTarget[partOf($0)] "\t" $0 }')
  while IFS=$'\t' read -r target file; do
    if ! compiles "$tree/$file"; then alone="$alone $file"; fi
    echo "#include \"$tree/$file\"" >> "$work/batch-$target.cpp"
  done <<<"$sources"
  for batch in "$work"/batch-*.cpp; do
    compiles "$batch" || compiled=bad
  done
  rm -f "$work"/batch-*.cpp
  if [ -n "$alone" ] || [ "$got" != "$want" ] || [ "$compiled" != "$want" ]; then
    echo "FAIL: expected $want, the check says $got, the compiler says $compiled${alone:+ (and does not take$alone alone)} for:"
    printf '  %s\n' "${fields[@]:1}"
    echo "$out"
    cat "$work/compiler.out"
    failures=$((failures + 1))
  fi
done

echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
