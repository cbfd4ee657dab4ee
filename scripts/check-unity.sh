#!/usr/bin/env bash
# Checks that src/ and sim/ are safe in a unity build, where the files of one
# target are compiled a batch at a time as if they were one file, so that
# what one file leaves at namespace scope reaches the files after it:
#  - no `using namespace` at namespace scope, in a header or a .cpp file, and
#    no using-declaration (`using std::to_string;`) at namespace scope in a
#    .cpp file (in a function either is fine): the files after it would find
#    names they do not know of, and a call may pick another function (an
#    alias, `using json = nlohmann::json;`, may stay: a second one of another
#    meaning does not compile);
#  - no macro a .cpp file defines is left defined at its end (#undef it);
#  - no two .cpp files of one target (src/layers.txt says which files make
#    a target) define a function of the same name at file scope, whatever
#    its parameters: in an anonymous namespace, static, or one no header of
#    the target declares (outside every namespace or in a named one). Of two
#    such helpers with different parameters, a call in either file may pick
#    the other one once they share a batch, and the build says nothing.
# Member functions (Class::name), functions a header of the target declares,
# declarations, calls, lambdas and what is inside a function or a class are
# not file-scope helpers. The source is read with its comments, strings and
# preprocessor lines left out, but for #define and #undef. Files of other
# kinds are left to scripts/check-layers.sh, which refuses them.
#
# Prints one line per fault and exits 1 when there is any.
# Usage: scripts/check-unity.sh [source root]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${1:-$here/..}
cd "$root"

find src sim -type f | sort |
  awk "$(cat "$here/layers.awk")"'
BEGIN {
  readLayers("src/layers.txt")
  if (layersBad > 0) exit 1
  bad = 0
}
fileKind($0) != "source" { next }
{
  file = $0
  target = partTarget[partOf(file)]
  isSource = file ~ /\.cpp$/
  readSource(file)
}

# Reads one file, statement by statement at the level of its braces.
function readSource(file,   raw, line, lineNo, i, name) {
  depth = 0          # braces open; kind[1..depth]: ns, anon, extern or other
  others = 0         # of those, the ones that are not namespaces
  anons = 0          # anonymous namespaces open
  parens = 0         # parentheses open
  nMacros = 0        # macroOrder[1..nMacros]: the macros defined, in order
  split("", macroAt) # the line of each macro defined and not undefined
  statement = ""
  statementLine = 0
  inComment = 0
  rawEnd = ""        # the end of the raw string literal being read
  continued = 0      # a preprocessor line goes on
  lineNo = 0
  while ((getline raw < file) > 0) {
    lineNo++
    if (continued || (!inComment && rawEnd == "" && raw ~ /^[ \t]*#/)) {
      if (!continued && isSource) directive(raw, lineNo)
      continued = raw ~ /\\$/
      continue
    }
    line = codeOf(raw)
    scan(line, file, lineNo)
  }
  close(file)
  for (i = 1; i <= nMacros; i++) {
    name = macroOrder[i]
    if (name in macroAt) {
      report(file ":" macroAt[name] ": the macro " name " is left defined: it reaches the next files of a unity batch (#undef it at the end of the file)")
      delete macroAt[name]
    }
  }
}

# Follows the macros a .cpp file defines and undefines.
function directive(line, lineNo,   w) {
  if (!match(line, /^[ \t]*#[ \t]*(define|undef)[ \t]+[A-Za-z_][A-Za-z0-9_]*/)) return
  line = substr(line, RSTART, RLENGTH)
  sub(/^[ \t]*#[ \t]*/, "", line)
  split(line, w, /[ \t]+/)
  if (w[1] == "undef") {
    delete macroAt[w[2]]
  } else {
    if (!(w[2] in macroAt)) macroOrder[++nMacros] = w[2]
    macroAt[w[2]] = lineNo
  }
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

# Splits code into statements at ; { and } outside parentheses (a brace in
# a parameter list, a call or a condition ends nothing) and follows the
# braces.
function scan(code, file, lineNo,   c, kind, held) {
  held = ""
  while (match(code, /[{}();]/)) {
    c = substr(code, RSTART, 1)
    held = held substr(code, 1, RSTART - 1)
    code = substr(code, RSTART + 1)
    if (c == "(" || c == ")" || parens > 0) {
      if (c == "(") parens++
      else if (c == ")" && parens > 0) parens--
      held = held c
      continue
    }
    addToStatement(held, lineNo)
    held = ""
    if (c == ";") {
      if (others == 0) declaration(statement, file)
    } else if (c == "{") {
      kind = "other"
      if (others == 0) {
        if (statement ~ /(^|[^A-Za-z0-9_])namespace[ \t]*$/) kind = "anon"
        else if (statement ~ /(^|[^A-Za-z0-9_])namespace[ \t]+[A-Za-z_][A-Za-z0-9_:]*[ \t]*$/) kind = "ns"
        else if (statement ~ /(^|[^A-Za-z0-9_])extern[ \t]*""[ \t]*$/) kind = "extern"
        else if (isSource) helperDefined(statement, file, statementLine)
        else declared(statement)
      }
      kinds[++depth] = kind
      if (kind == "other") others++
      else if (kind == "anon") anons++
    } else if (depth > 0) {
      kind = kinds[depth--]
      if (kind == "other") others--
      else if (kind == "anon") anons--
    }
    statement = ""
  }
  addToStatement(held code, lineNo)
}

# A declaration at namespace scope (the text before its ;): a using-directive
# or a using-declaration that reaches the next files, or a function a header
# declares.
function declaration(s, file,   used) {
  if (s ~ /(^|[^A-Za-z0-9_:])using[ \t]+namespace[ \t]/) {
    report(file ":" statementLine ": `using namespace` at file scope: it reaches the next files of a unity batch")
  } else if (isSource && match(s, /(^|[^A-Za-z0-9_:])using[ \t][^=]*$/)) {
    used = substr(s, RSTART)
    sub(/^[^u]/, "", used)
    gsub(/[ \t]+/, " ", used)
    sub(/ $/, "", used)
    report(file ":" statementLine ": `" used "` at file scope: it reaches the next files of a unity batch (write it in the function)")
  } else if (!isSource) {
    declared(s)
  }
}

function addToStatement(text, lineNo) {
  if (statement !~ /[^ \t]/ && text ~ /[^ \t]/) statementLine = lineNo
  statement = statement " " text
}

# When the statement before a { at namespace scope in a .cpp file heads a
# function definition, notes its name: a file-scope helper unless a header
# of the target declares it and it is neither static nor in an anonymous
# namespace.
function helperDefined(s, file, lineNo,   name, key) {
  name = functionName(s)
  if (name == "" || target == "") return
  key = target SUBSEP name
  if ((key SUBSEP file) in definedIn) return
  definedIn[key SUBSEP file] = 1
  nDefs[key]++
  defPlace[key, nDefs[key]] = file ":" lineNo
  defShared[key, nDefs[key]] = anons == 0 && fnHead !~ /(^|[^A-Za-z0-9_])static([^A-Za-z0-9_]|$)/
}

# Notes the name of a function a header declares (or defines) at namespace
# scope.
function declared(s,   name) {
  name = functionName(s)
  if (name != "" && target != "") inHeader[target SUBSEP name] = 1
}

# The name of the function a declaration or the head of a definition (the
# text before its ; or {) names, "" when it names none or a member (A::f),
# an operator or a macro; what comes before the name is left in fnHead.
function functionName(s,   head, name, open, i, c, level, after) {
  fnHead = ""
  # template <...> and [[attributes]] in front say nothing of the name.
  while (sub(/^[ \t]*template[ \t]*<[^<>]*(<[^<>]*>[^<>]*)*>/, "", s)) continue
  gsub(/\[\[[^]]*\]\]/, "", s)
  open = index(s, "(")
  if (open == 0) return ""
  head = substr(s, 1, open - 1)
  if (head ~ /[=\]]|operator|(^|[^A-Za-z0-9_])(class|struct|union|enum|typedef|using|return)([^A-Za-z0-9_]|$)/) return ""
  if (!match(head, /[A-Za-z_][A-Za-z0-9_]*[ \t]*$/)) return ""
  name = substr(head, RSTART, RLENGTH)
  sub(/[ \t]+$/, "", name)
  head = substr(head, 1, RSTART - 1)
  # A member or a qualified name (A::f, ~A), or one without a return type
  # (a macro: FOO(x) {), is not a helper.
  if (head !~ /[A-Za-z0-9_>&*][ \t]*$/) return ""
  if (name ~ /^(if|for|while|switch|catch|sizeof|decltype|alignas|noexcept|static_assert)$/) return ""
  # The parameters end at the matching ), which only qualifiers, a trailing
  # return type or a requires clause may follow.
  level = 0
  for (i = open; i <= length(s); i++) {
    c = substr(s, i, 1)
    if (c == "(") level++
    else if (c == ")" && --level == 0) break
  }
  if (level != 0) return ""
  after = substr(s, i + 1)
  if (after !~ /^[ \t]*((const|volatile|noexcept|override|final|mutable|&|&&|->|requires|try)([^A-Za-z0-9_]|$)|$)/) return ""
  fnHead = head
  return name
}

function report(what) {
  print what
  bad++
}

END {
  if (layersBad > 0) exit 1
  for (key in nDefs) {
    n = 0
    where = ""
    for (i = 1; i <= nDefs[key]; i++) {
      if (defShared[key, i] && (key in inHeader)) continue
      where = where (n++ > 0 ? ", " : "") defPlace[key, i]
    }
    if (n < 2) continue
    split(key, k, SUBSEP)
    print k[1] ": " k[2] " is defined at file scope in " n " files: " where " (name each helper after what it is in its file, or share one in a header)" | "sort"
    bad++
  }
  close("sort")
  if (bad > 0) {
    printf "check-unity: %d fault(s) that reach across the files of a unity batch\n", bad
    exit 1
  }
  print "check-unity: the files are safe in a unity build"
}
'
