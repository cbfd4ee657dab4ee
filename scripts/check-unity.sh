#!/usr/bin/env bash
# Checks that src/ and sim/ are safe in a unity build, where the files of one
# target are compiled a batch at a time as if they were one file:
#  - no `using namespace` at namespace scope, in a header or a .cpp file (in
#    a function it is fine): it would change the meaning of the files after
#    it in the batch;
#  - no two .cpp files of one target (src/layers.txt says which files make
#    a target) define a function of the same name at file scope: in an
#    anonymous namespace, static, or outside every namespace. Of two such
#    helpers with different parameters, a call in either file may pick the
#    other one once they share a batch, and the build says nothing.
# Member functions (Class::name), functions of a named namespace (declared in
# its header), declarations, calls, lambdas and what is inside a function or
# a class are not file-scope helpers. The source is read with its comments,
# strings and preprocessor lines left out.
#
# Prints one line per fault and exits 1 when there is any.
# Usage: scripts/check-unity.sh [source root]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${1:-$here/..}
cd "$root"

find src sim -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.inc' \) | sort |
  awk "$(cat "$here/layers.awk")"'
BEGIN {
  readLayers("src/layers.txt")
  if (layersBad > 0) exit 1
  bad = 0
}
{
  file = $0
  target = partTarget[partOf(file)]
  isSource = file ~ /\.cpp$/
  readSource(file)
}

# Reads one file, statement by statement at the level of its braces.
function readSource(file,   raw, line, lineNo) {
  depth = 0          # braces open; kind[1..depth]: ns, anon, extern or other
  others = 0         # of those, the ones that are not namespaces
  anons = 0          # anonymous namespaces open
  named = 0          # named namespaces open
  statement = ""
  statementLine = 0
  inComment = 0
  rawEnd = ""        # the end of the raw string literal being read
  continued = 0      # a preprocessor line goes on
  lineNo = 0
  while ((getline raw < file) > 0) {
    lineNo++
    if (continued || (!inComment && rawEnd == "" && raw ~ /^[ \t]*#/)) {
      continued = raw ~ /\\$/
      continue
    }
    line = codeOf(raw)
    scan(line, file, lineNo)
  }
  close(file)
}

# The line without comments and with the contents of strings and character
# literals taken out (the quotes stay), carrying block comments and raw
# strings over to the next line.
function codeOf(s,   out, tok, pre, rest, i, delim) {
  out = ""
  while (s != "") {
    if (inComment) {
      i = index(s, "*/")
      if (i == 0) return out
      s = substr(s, i + 2)
      inComment = 0
      out = out " "
      continue
    }
    if (rawEnd != "") {
      i = index(s, rawEnd)
      if (i == 0) return out
      s = substr(s, i + length(rawEnd))
      rawEnd = ""
      out = out "\"\""
      continue
    }
    if (!match(s, /\/\/|\/\*|["'\'']/)) return out s
    pre = substr(s, 1, RSTART - 1)
    tok = substr(s, RSTART, RLENGTH)
    rest = substr(s, RSTART + RLENGTH)
    out = out pre
    if (tok == "//") return out
    if (tok == "/*") {
      inComment = 1
      s = rest
    } else if (tok == "\"" && pre ~ /(^|[^A-Za-z0-9_])(u8|u|U|L)?R$/ && match(rest, /^[^ ()\\]*\(/)) {
      delim = substr(rest, 1, RLENGTH - 1)
      rawEnd = ")" delim "\""
      s = substr(rest, RLENGTH + 1)
      out = substr(out, 1, length(out) - 1)
    } else if (tok == "\"") {
      s = match(rest, /^([^"\\]|\\.)*"/) ? substr(rest, RLENGTH + 1) : ""
      out = out "\"\""
    } else if (match(pre, /[A-Za-z0-9_.]+$/) && substr(pre, RSTART, 1) ~ /[0-9]/) {
      s = rest   # a digit separator: 1'\''000
    } else {
      s = match(rest, /^([^'\''\\]|\\.)*'\''/) ? substr(rest, RLENGTH + 1) : ""
      out = out "'\'''\''"
    }
  }
  return out
}

# Splits code into statements at ; { and } and follows the braces.
function scan(code, file, lineNo,   c, kind) {
  while (match(code, /[{};]/)) {
    addToStatement(substr(code, 1, RSTART - 1), lineNo)
    c = substr(code, RSTART, 1)
    code = substr(code, RSTART + 1)
    if (c == ";") {
      if (others == 0 && statement ~ /(^|[^A-Za-z0-9_:])using[ \t]+namespace[ \t]/)
        report(file ":" statementLine ": `using namespace` at file scope: it reaches the next files of a unity batch")
    } else if (c == "{") {
      kind = "other"
      if (others == 0) {
        if (statement ~ /(^|[^A-Za-z0-9_])namespace[ \t]*$/) kind = "anon"
        else if (statement ~ /(^|[^A-Za-z0-9_])namespace[ \t]+[A-Za-z_][A-Za-z0-9_:]*[ \t]*$/) kind = "ns"
        else if (statement ~ /(^|[^A-Za-z0-9_])extern[ \t]*""[ \t]*$/) kind = "extern"
        else if (isSource) helperDefined(statement, file, statementLine)
      }
      kinds[++depth] = kind
      if (kind == "other") others++
      else if (kind == "anon") anons++
      else if (kind == "ns") named++
    } else if (depth > 0) {
      kind = kinds[depth--]
      if (kind == "other") others--
      else if (kind == "anon") anons--
      else if (kind == "ns") named--
    }
    statement = ""
  }
  addToStatement(code, lineNo)
}

function addToStatement(text, lineNo) {
  if (statement !~ /[^ \t]/ && text ~ /[^ \t]/) statementLine = lineNo
  statement = statement " " text
}

# When the statement before a { at namespace scope heads a function
# definition, notes its name if it is a file-scope helper.
function helperDefined(s, file, lineNo,   head, name, open, i, c, level, after) {
  # template <...> and [[attributes]] in front say nothing of the name.
  while (sub(/^[ \t]*template[ \t]*<[^<>]*(<[^<>]*>[^<>]*)*>/, "", s)) continue
  gsub(/\[\[[^]]*\]\]/, "", s)
  open = index(s, "(")
  if (open == 0) return
  head = substr(s, 1, open - 1)
  if (head ~ /[=\]]|operator|(^|[^A-Za-z0-9_])(class|struct|union|enum|typedef|using|return)([^A-Za-z0-9_]|$)/) return
  if (!match(head, /[A-Za-z_][A-Za-z0-9_]*[ \t]*$/)) return
  name = substr(head, RSTART, RLENGTH)
  sub(/[ \t]+$/, "", name)
  head = substr(head, 1, RSTART - 1)
  # A member or a qualified name (A::f, ~A), or one without a return type
  # (a macro: FOO(x) {), is not a helper.
  if (head !~ /[A-Za-z0-9_>&*][ \t]*$/) return
  if (name ~ /^(if|for|while|switch|catch|sizeof|decltype|alignas|noexcept|static_assert)$/) return
  # The parameters end at the matching ), which only qualifiers, a trailing
  # return type or a requires clause may follow.
  level = 0
  for (i = open; i <= length(s); i++) {
    c = substr(s, i, 1)
    if (c == "(") level++
    else if (c == ")" && --level == 0) break
  }
  if (level != 0) return
  after = substr(s, i + 1)
  if (after !~ /^[ \t]*((const|volatile|noexcept|override|final|mutable|&|&&|->|requires|try)([^A-Za-z0-9_]|$)|$)/) return
  if (anons == 0 && named > 0 && head !~ /(^|[^A-Za-z0-9_])static([^A-Za-z0-9_]|$)/) return
  if (target == "") return
  key = target SUBSEP name
  if (!((key SUBSEP file) in definedIn)) {
    definedIn[key SUBSEP file] = 1
    files[key]++
    place = file ":" lineNo
    where[key] = files[key] > 1 ? where[key] ", " place : place
  }
}

function report(what) {
  print what
  bad++
}

END {
  if (layersBad > 0) exit 1
  for (key in files) {
    if (files[key] < 2) continue
    split(key, k, SUBSEP)
    print k[1] ": " k[2] " is defined at file scope in " files[key] " files: " where[key] | "sort"
    bad++
  }
  close("sort")
  if (bad > 0) {
    printf "check-unity: %d fault(s): name each helper after what it is in its file, or share one in a header\n", bad
    exit 1
  }
  print "check-unity: the files are safe in a unity build"
}
'
