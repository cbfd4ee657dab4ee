#!/usr/bin/env bash
# Checks every #include in src/ and sim/ against the layer order that
# src/layers.txt declares (the build reads the same file):
#  - a part includes its own headers, those of the parts it uses and what
#    those may include (inside device: codec < transport < records <
#    catalogue < files < firmware < service < backup);
#  - project headers are written in quotes, from src/ (sim/ from the root),
#    without "..";
#  - a package's headers (Qt's <QWidget>, <QtCore/QString>, <qglobal.h>,
#    "QWidget"; hidapi's <hidapi.h>, <hidapi/hidapi.h>; curl's <curl/curl.h>)
#    only in the parts that use the package, and no other part includes a
#    header of theirs that includes the package's;
#  - every file is in a declared part, and is a source file the checks read
#    (.cpp .h .hpp .inc .inl) or the build's own (CMakeLists.txt), and no
#    symbolic link (what it names is not read);
#  - an include is written `#include <...>` or `#include "..."` at the start
#    of its line: any other line on which include (or include_next, import)
#    follows a # is refused (a macro named as the header, a comment before
#    the #, `%:include`), and so is a preprocessor line that goes on to the
#    next line, but for a #define.
# tests/, bench/ and fuzz/ are free.
#
# Prints one line per fault (file:line: what) and exits 1 when there is any.
# Usage: scripts/check-layers.sh [source root]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${1:-$here/..}

# Includes against the order that are known and being removed, as
# "file|include". Each must still be found: one that is gone fails the check
# until its line here goes too.
known=()
# QV450_LAYERS_KNOWN (lines of "file|include") replaces the list, for tests.
if [ "${QV450_LAYERS_KNOWN+set}" = set ]; then mapfile -t known <<<"$QV450_LAYERS_KNOWN"; fi

cd "$root"
# One line per file but folders: its type (f, l for a link...) and its path.
find src sim ! -type d -printf '%y %p\n' | sort -k 2 |
  awk -v known="$(printf '%s\n' "${known[@]}")" "$(cat "$here/layers.awk")"'
BEGIN {
  readLayers("src/layers.txt")
  nKnown = split(known, knownList, "\n")
  for (i = 1; i <= nKnown; i++) if (knownList[i] != "") allowed[knownList[i]] = 0
  nInc = 0
  bad = 0
}
# Each input line names a file; its includes are read into inc*[1..nInc].
{
  file = substr($0, 3)
  if (substr($0, 1, 1) != "f") {
    fault(file, 1, file " is a symbolic link or no regular file: the checks do not read what it names; keep the file itself in src/ or sim/", "")
    next
  }
  kind = fileKind(file)
  if (kind == "build") next
  if (kind == "") {
    fault(file, 1, file " is no source file the checks read (.cpp .h .hpp .inc .inl): rename it, or keep it out of src/ and sim/", "")
    next
  }
  exists[file] = 1
  from = partOf(file)
  if (from == "") {
    fault(file, 1, file " is in no part of src/layers.txt", "")
    next
  }
  dir = file
  sub(/\/[^\/]*$/, "", dir)
  lineNo = 0
  before = ""    # the line before, which a \ at its end carries on
  while ((getline text < file) > 0) {
    lineNo++
    if (!index(text, "#") && !index(text, "%:")) {
      before = text
      continue
    }
    if (substr(text, length(text)) == "\\" && substr(before, length(before)) != "\\" &&
        text ~ /^[ \t]*(#|%:)/ && text !~ /^[ \t]*#[ \t]*define[ \t]+[A-Za-z_]/)
      fault(file, lineNo, "a preprocessor line that goes on to the next line: only a #define may", "")
    before = text
    if (text !~ /^[ \t]*#[ \t]*include[ \t]*[<"]/) {
      if (text ~ /(#|%:).*(include|import)([^A-Za-z0-9]|$)/)
        fault(file, lineNo, "an include the check cannot read: write #include <...> or \"...\" at the start of its line", "")
      continue
    }
    sub(/^[ \t]*#[ \t]*include[ \t]*/, "", text)
    quoted = substr(text, 1, 1) == "\""
    text = substr(text, 2)
    if (!match(text, quoted ? "\"" : ">")) continue
    nInc++
    incFile[nInc] = file
    incLine[nInc] = lineNo
    incFrom[nInc] = from
    incName[nInc] = substr(text, 1, RSTART - 1)
    incQuoted[nInc] = quoted
    incBeside[nInc] = dir "/" incName[nInc]
  }
  close(file)
}
function fault(file, line, what, inc) {
  if (inc != "" && ((file "|" inc) in allowed)) {
    allowed[file "|" inc]++
    printf "%s:%d: %s: known, to be removed\n", file, line, what
    return
  }
  printf "%s:%d: %s\n", file, line, what
  bad++
}
function uses(part, pkg) {
  return index(partPkgs[part], " " pkg " ") > 0
}
function isProjectTop(first,   i, f) {
  for (i = 1; i <= nParts; i++) {
    f = partFolder[partList[i]]
    sub(/^src\//, "", f)
    sub(/\/.*/, "", f)
    if (f == first) return 1
  }
  return 0
}
END {
  if (layersBad > 0) exit 1
  # What each include names: a file of a part (incPath), a package'"'"'s
  # header (incPkg), a system header, or a fault.
  for (i = 1; i <= nInc; i++) {
    name = incName[i]
    incPath[i] = ""
    incKind[i] = ""
    incPkg[i] = packageOf(name)
    if (name ~ /(^|\/)\.\.(\/|$)/) {
      incKind[i] = "relative"
    } else if (incQuoted[i] && name !~ /\// && (incBeside[i] in exists || incPkg[i] == "")) {
      incPath[i] = incBeside[i]
    } else if (incPkg[i] != "") {
      incKind[i] = "package"
      if (uses(incFrom[i], incPkg[i])) carries[incFile[i], incPkg[i]] = 1
    } else {
      first = name
      sub(/\/.*/, "", first)
      if (isProjectTop(first)) {
        incPath[i] = includedPath(name)
        if (partOf(incPath[i]) == "") incKind[i] = "nopart"
      } else if (incQuoted[i]) {
        incKind[i] = "relative"
      }
    }
  }
  # The headers of the parts that use a package which include the package'"'"'s
  # headers, directly or through one another: the other parts cannot see
  # those.
  nPkgs = split(packageNames(), pkgList, " ")
  do {
    grew = 0
    for (i = 1; i <= nInc; i++) {
      for (j = 1; j <= nPkgs; j++) {
        pkg = pkgList[j]
        if (((incPath[i], pkg) in carries) && !((incFile[i], pkg) in carries) && uses(incFrom[i], pkg)) {
          carries[incFile[i], pkg] = 1
          grew = 1
        }
      }
    }
  } while (grew)

  for (i = 1; i <= nInc; i++) {
    file = incFile[i]; line = incLine[i]; from = incFrom[i]; name = incName[i]
    shown = incQuoted[i] ? "\"" name "\"" : "<" name ">"
    if (incKind[i] == "relative") {
      fault(file, line, shown ": write includes from src/ (or sim/), without ..", name)
    } else if (incKind[i] == "nopart") {
      fault(file, line, shown ": " incPath[i] " is in no part of src/layers.txt", name)
    } else if (incKind[i] == "package") {
      if (!uses(from, incPkg[i])) fault(file, line, incPkg[i] " header " shown " in " from ", which does not use " incPkg[i], name)
    } else if (incPath[i] != "") {
      to = partOf(incPath[i])
      if (!incQuoted[i]) fault(file, line, shown ": write the project'"'"'s headers in quotes", name)
      if (to != from && !index(partMay[from], " " to " ") && !index(partMay[from], " " name " ")) {
        fault(file, line, from " includes " to " (" shown ")", name)
      } else {
        for (j = 1; j <= nPkgs; j++) {
          if (((incPath[i], pkgList[j]) in carries) && !uses(from, pkgList[j]))
            fault(file, line, shown " includes " pkgList[j] " headers, which " from " does not see", name)
        }
      }
    }
  }
  for (k in allowed) {
    if (allowed[k] == 0) {
      printf "check-layers: the known include \"%s\" is gone: remove it from the list in scripts/check-layers.sh\n", k
      bad++
    }
  }
  if (bad > 0) {
    printf "check-layers: %d include(s) against the layer order\n", bad
    exit 1
  }
  print "check-layers: every include follows the layer order"
}
'
