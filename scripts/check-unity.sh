#!/usr/bin/env bash
# Checks that src/ and sim/ are safe in a unity build, where the files of one
# target are compiled a batch at a time as if they were one file, so that
# what one file leaves at namespace scope reaches the files after it:
#  - no `using namespace` at namespace scope, in a header or a .cpp file, and
#    in a .cpp file no `using` at namespace scope but an alias, `using NAME =
#    ...;` (`using std::to_string;`, `using lib::operator!=;` and `using enum`
#    are refused; in a function any is fine): the files after it would find
#    names they do not know of, and a call may pick another function (a
#    second alias of another meaning does not compile);
#  - no macro a .cpp file defines is left defined at its end: only an #undef
#    outside every #if, #ifdef and #ifndef counts, and a preprocessor line
#    begins with its # and goes on to the next line only when it is a
#    #define that names its macro on its first line;
#  - no .cpp file of a target (src/layers.txt says which files make a target)
#    defines a file-scope helper of a name that another .cpp file of the
#    target defines a function of at namespace scope, whatever the
#    parameters. A helper is a function in an anonymous namespace, static,
#    or one that no header of the target declares in the same namespace with
#    the same parameter types, written the same (names, spaces and default
#    arguments aside: `f(const fs::path&)` does not declare
#    `f(const std::filesystem::path&)`). Of two functions of one name, a call
#    in either file may pick the other one once they share a batch, and the
#    build says nothing.
# A function's name is the one before its own parameter list (in
# `std::function<int()> source(int)`, source). Member functions (Class::name),
# declarations, calls, lambdas and what is inside a function or a class are
# not file-scope helpers. The source is read with its comments, strings and
# preprocessor lines left out, but for #define, #undef and the conditionals.
# Files of other kinds, and symbolic links, are left to
# scripts/check-layers.sh, which refuses them.
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
  depth = 0          # braces open; kinds[1..depth]: ns, anon, extern or other
  namespaceNow = ""  # the named namespaces open, as ::a::b (nsOut[d]: before
  #                    the one at depth d)
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
  conditionals = 0   # #if, #ifdef and #ifndef open
  lineNo = 0
  while ((getline raw < file) > 0) {
    lineNo++
    if (continued || (!inComment && rawEnd == "" && raw ~ /^[ \t]*(#|%:)/)) {
      if (!continued && isSource) directive(raw, file, lineNo)
      continued = raw ~ /\\$/
      continue
    }
    line = codeOf(raw)
    if (isSource && (index(line, "#") || index(line, "%:")) && line ~ /^[ \t]*(#|%:)/)
      report(file ":" lineNo ": a preprocessor line with something before its #: begin the line with the #")
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

# Follows the macros a .cpp file defines and undefines, and the conditionals
# around them.
function directive(line, file, lineNo,   word, at, name) {
  word = match(line, /^[ \t]*(#|%:)[ \t]*[a-z]+/) ? substr(line, RSTART, RLENGTH) : ""
  at = RSTART + RLENGTH
  sub(/^[ \t]*(#|%:)[ \t]*/, "", word)
  if (substr(line, length(line)) == "\\" && (word != "define" || line !~ /define[ \t]+[A-Za-z_]/))
    report(file ":" lineNo ": a preprocessor line that goes on to the next line: only a #define, with its name on its first line, may")
  if (word == "if" || word == "ifdef" || word == "ifndef") conditionals++
  else if (word == "endif" && conditionals > 0) conditionals--
  if ((word != "define" && word != "undef") || !match(substr(line, at), /^[ \t]+[A-Za-z_][A-Za-z0-9_]*/)) return
  name = substr(line, at + RSTART - 1, RLENGTH)
  sub(/^[ \t]+/, "", name)
  if (word == "undef") {
    # Under a conditional, it may be left out.
    if (conditionals == 0) delete macroAt[name]
  } else {
    if (!(name in macroAt)) macroOrder[++nMacros] = name
    macroAt[name] = lineNo
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
function scan(code, file, lineNo,   c, kind, held, ns, closes, n) {
  # Inside a function or a class no statement counts, and the braces of a
  # line that cannot close the outermost one (those of a lambda in a call
  # too, which pair up) only open and close others.
  if (others > 0 && parens == 0 && (closes = gsub(/}/, "}", code)) < others) {
    n = gsub(/{/, "{", code) - closes
    others += n
    for (; n > 0; n--) kinds[++depth] = "other"
    depth += n
    return
  }
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
        else if (match(statement, /(^|[^A-Za-z0-9_])namespace[ \t]+[A-Za-z_][A-Za-z0-9_:]*[ \t]*$/)) {
          kind = "ns"
          nsOut[depth + 1] = namespaceNow
          ns = substr(statement, RSTART, RLENGTH)
          sub(/^.*namespace[ \t]+/, "", ns)
          sub(/[ \t]+$/, "", ns)
          namespaceNow = namespaceNow "::" ns
        } else if (statement ~ /(^|[^A-Za-z0-9_])extern[ \t]*""[ \t]*$/) kind = "extern"
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
      else if (kind == "ns") namespaceNow = nsOut[depth + 1]
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
  } else if (isSource && match(s, /(^|[^A-Za-z0-9_:])using[ \t]/) &&
             substr(s, RSTART + RLENGTH) !~ /^[ \t]*[A-Za-z_][A-Za-z0-9_]*[ \t]*(\[\[[^]]*\]\][ \t]*)?=/) {
    used = substr(s, RSTART)
    sub(/^[^u]/, "", used)
    gsub(/[ \t]+/, " ", used)
    sub(/ $/, "", used)
    report(file ":" statementLine ": `" used "` at file scope: it reaches the next files of a unity batch (write it in the function; only an alias, using NAME = ..., may stay)")
  } else if (!isSource) {
    declared(s)
  }
}

function addToStatement(text, lineNo) {
  if (statement !~ /[^ \t]/ && text ~ /[^ \t]/) statementLine = lineNo
  statement = statement " " text
}

# When the statement before a { at namespace scope in a .cpp file heads a
# function definition, notes it: a file-scope helper unless a header of the
# target declares it (same namespace, same parameters) and it is neither
# static nor in an anonymous namespace.
function helperDefined(s, file, lineNo,   name, key, n) {
  name = functionName(s)
  if (name == "" || target == "") return
  key = target SUBSEP name
  n = ++nDefs[key]
  defFile[key, n] = file
  defPlace[key, n] = file ":" lineNo
  defShared[key, n] = anons == 0 && fnHead !~ /(^|[^A-Za-z0-9_])static([^A-Za-z0-9_]|$)/
  defAs[key, n] = target SUBSEP namespaceNow SUBSEP name SUBSEP fnParams
}

# Notes a function a header declares (or defines) at namespace scope.
function declared(s,   name) {
  name = functionName(s)
  if (name != "" && target != "") inHeader[target SUBSEP namespaceNow SUBSEP name SUBSEP fnParams] = 1
}

# The name of the function a declaration or the head of a definition (the
# text before its ; or {) names, "" when it names none or a member (A::f),
# an operator or a macro. The name is the one before its own parameter list:
# the first ( outside parentheses and <> that follows a name and whose )
# only qualifiers, a trailing return type or a requires clause may follow.
# What comes before the name is left in fnHead, the parameter types (see
# parameters) in fnParams.
function functionName(s,   n, k, pc, pos, c, angle, level, open, head, name) {
  fnHead = ""
  fnParams = ""
  if (!index(s, "(")) return ""
  # template <...> and [[attributes]] in front say nothing of the name.
  if (s ~ /^[ \t]*template/) while (sub(/^[ \t]*template[ \t]*<[^<>]*(<[^<>]*>[^<>]*)*>/, "", s)) continue
  if (index(s, "[[")) gsub(/\[\[[^]]*\]\]/, "", s)
  open = index(s, "(")
  name = ""
  # Most often the first ( is the one, and the parameters hold no other.
  pos = index(substr(s, open + 1), ")")
  if (pos && !index(substr(s, open + 1, pos - 1), "(") && substr(s, open + pos + 1) ~ /^[ \t]*((const|volatile|noexcept|override|final|mutable|&|&&|->|requires|try)([^A-Za-z0-9_]|$)|$)/) {
    pos += open
    head = substr(s, 1, open - 1)
    if (gsub(/</, "<", head) == gsub(/>/, ">", head)) name = nameAtEnd(head)
  }
  # Else, pc[k] is the text before the k-th of < > ( ), which is at pos.
  if (name == "") {
    n = split(s, pc, /[<>()]/)
    pos = 0
    angle = 0
    level = 0
  }
  for (k = 1; name == "" && k < n; k++) {
    pos += length(pc[k]) + 1
    c = substr(s, pos, 1)
    if (c == "(") {
      if (level++ == 0) open = angle == 0 ? pos : 0
    } else if (c == ")") {
      if (level == 0) return ""
      if (--level > 0 || !open) continue
      if (substr(s, pos + 1) ~ /^[ \t]*((const|volatile|noexcept|override|final|mutable|&|&&|->|requires|try)([^A-Za-z0-9_]|$)|$)/)
        name = nameAtEnd(substr(s, 1, open - 1))
    } else if (level == 0) {
      if (c == "<") angle++
      else if (angle > 0) angle--
    }
  }
  if (name == "") return ""
  head = fnBefore
  if (index(head, "=") || index(head, "]") || index(head, "operator")) return ""
  if ((index(head, "class") || index(head, "struct") || index(head, "union") || index(head, "enum") ||
       index(head, "typedef") || index(head, "using") || index(head, "return")) &&
      head ~ /(^|[^A-Za-z0-9_])(class|struct|union|enum|typedef|using|return)([^A-Za-z0-9_]|$)/) return ""
  # A member or a qualified name (A::f, ~A), or one without a return type
  # (a macro: FOO(x) {), is not a helper.
  if (head !~ /[A-Za-z0-9_>&*)][ \t]*$/) return ""
  fnHead = head
  fnParams = parameters(substr(s, open + 1, pos - open - 1))
  return name
}

# The name that ends head (spaces after it aside), "" for none or a word that
# names no function; what comes before it is left in fnBefore.
function nameAtEnd(head,   w) {
  sub(/[ \t]+$/, "", head)
  w = match(head, /^.*[^A-Za-z0-9_]/) ? substr(head, RLENGTH + 1) : head
  if (w !~ /^[A-Za-z_]/ || w ~ /^(if|for|while|switch|catch|sizeof|alignof|decltype|alignas|noexcept|static_assert|requires|operator)$/) return ""
  fnBefore = substr(head, 1, length(head) - length(w))
  return w
}

# A parameter list as functionName leaves it in fnParams: the types alone,
# without names and default arguments, and with spaces only between two
# words. `const fs::path& p` and `const std::filesystem::path& p` differ.
function parameters(p,   n, w, i, out, one, k, last, kept) {
  n = split(p, w, ",")
  out = ""
  one = ""
  kept = 0
  for (i = 1; i <= n; i++) {
    one = one w[i]
    # A , inside <> () {} or [] parts no parameters.
    if (one ~ /[<({[]/ && gsub(/[<({[]/, "&", one) != gsub(/[>)}\]]/, "&", one)) {
      one = one ","
      continue
    }
    if (k = index(one, "=")) {
      last = substr(one, 1, k - 1)
      if (gsub(/[<({[]/, "&", last) == gsub(/[>)}\]]/, "&", last)) one = last
    }
    sub(/[ \t]+$/, "", one)
    # The last word is a name unless it is all there is or belongs to the type.
    last = match(one, /^.*[^A-Za-z0-9_]/) ? substr(one, 1, RLENGTH) : ""
    if (last ~ /[^ \t]/ && substr(one, RLENGTH + 1) ~ /^[A-Za-z_]/ &&
        substr(one, RLENGTH + 1) !~ /^(int|long|short|char|char8_t|char16_t|char32_t|wchar_t|double|float|bool|void|auto|signed|unsigned|const|volatile)$/ &&
        last !~ /(::[ \t]*|(^|[^A-Za-z0-9_])(const|volatile|struct|class|enum|union|typename)[ \t]*)$/) one = last
    out = out (kept++ > 0 ? "," : "") one
    one = ""
  }
  n = split(out one, w, " ")
  out = w[1]
  for (i = 2; i <= n; i++)
    out = out (w[i - 1] ~ /[A-Za-z0-9_]$/ && w[i] ~ /^[A-Za-z0-9_]/ ? " " : "") w[i]
  return out
}

function report(what) {
  print what
  bad++
}

END {
  if (layersBad > 0) exit 1
  # A name that a helper has and another file of the target defines too.
  for (key in nDefs) {
    helpers = 0
    files = 0
    where = ""
    split("", seen)
    for (i = 1; i <= nDefs[key]; i++) {
      if (!(defFile[key, i] in seen)) files++
      seen[defFile[key, i]] = 1
      where = where (i > 1 ? ", " : "") defPlace[key, i]
      if (defShared[key, i] && (defAs[key, i] in inHeader)) continue
      helpers++
      where = where " (helper)"
    }
    if (helpers == 0 || files < 2) continue
    split(key, k, SUBSEP)
    print k[1] ": " k[2] " is defined in " files " files, and as a file-scope helper in some: " where " (name each helper after what it is in its file, or share one in a header)" | "sort"
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
