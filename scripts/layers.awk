# The reader of src/layers.txt, the layer order, for the checks that
# scripts/check-layers.sh and scripts/check-unity.sh run (each puts this text
# before its own program). readLayers(FILE) fills, for each part p:
#   partFolder[p]  its folder from the repository root
#   partTarget[p]  the target its files are compiled into
#   partPkgs[p]    " Qt hidapi ... ": the packages whose headers it may include
#   partMay[p]     " p q ... header ... ": the parts and the single headers it
#                  may include, what it uses and what those may include
# and partList[1..nParts] in the declared order. A line it cannot read is
# reported as FILE:LINE: what, and counts in layersBad.
function readLayers(file,   line, lineNo, n, w, i, u, owner, p) {
  nParts = 0
  layersBad = 0
  lineNo = 0
  while ((getline line < file) > 0) {
    lineNo++
    sub(/#.*/, "", line)
    n = split(line, w, " ")
    if (n == 0) continue
    p = w[1]
    if (n < 4) {
      layersError(file, lineNo, "want: part folder target uses... (\"-\" for nothing)")
      continue
    }
    if (p in partFolder) {
      layersError(file, lineNo, "the part " p " is declared twice")
      continue
    }
    partList[++nParts] = p
    partFolder[p] = w[2]
    partTarget[p] = w[3]
    partPkgs[p] = " "
    partMay[p] = " " p " "
    for (i = 4; i <= n; i++) {
      u = w[i]
      if (u == "-" && n == 4) continue
      if (isPackage(u)) {
        partPkgs[p] = partPkgs[p] u " "
      } else if (u ~ /\//) {
        owner = partOf(includedPath(u))
        if (owner == "" || owner == p) layersError(file, lineNo, u ": a header of no part declared above")
        else partMay[p] = partMay[p] u " "
      } else if (!(u in partFolder) || u == p) {
        layersError(file, lineNo, u ": no part of that name is declared above")
      } else {
        partMay[p] = partMay[p] substr(partMay[u], 2)
      }
    }
  }
  close(file)
  if (lineNo == 0) layersError(file, 0, "cannot be read, or is empty")
}

function layersError(file, lineNo, what) {
  printf "%s:%d: %s\n", file, lineNo, what
  layersBad++
}

# The part a file belongs to (its path from the root): the one with the
# longest folder that holds it; "" for none.
function partOf(path,   i, p, best, len) {
  best = ""
  len = 0
  for (i = 1; i <= nParts; i++) {
    p = partList[i]
    if (length(partFolder[p]) > len && index(path, partFolder[p] "/") == 1) {
      best = p
      len = length(partFolder[p])
    }
  }
  return best
}

# The file an include written from src/ (or, for sim/, from the root) names.
function includedPath(inc) {
  return (inc ~ /^sim\//) ? inc : "src/" inc
}

# The packages a part may use, as src/layers.txt names them (the build links
# each: cmake/Layers.cmake), and the package an include names a header of, ""
# for none: Qt's <QWidget>, <QtWidgets/QWidget>, <qwidget.h>,
# <private/qwidget_p.h>; hidapi's <hidapi.h>, <hidapi_libusb.h>,
# <hidapi/hidapi.h>; curl's <curl/curl.h>.
function packageNames() {
  return "Qt hidapi curl"
}
function isPackage(name) {
  return index(" " packageNames() " ", " " name " ") > 0
}
function packageOf(inc) {
  if (inc ~ /^Qt[A-Za-z0-9]*\// || inc ~ /^Q[A-Za-z0-9_]*$/ || inc ~ /^(private\/)?q[a-z0-9_]*\.h$/) return "Qt"
  if (inc ~ /^hidapi(\/|[A-Za-z0-9_]*\.h$)/) return "hidapi"
  if (inc ~ /^curl\//) return "curl"
  return ""
}

# What the checks make of a file of src/ or sim/ (its path from the root):
# "source" for what the build compiles or includes (.cpp .h .hpp .inc .inl),
# "build" for the build's own (CMakeLists.txt, src/layers.txt), "" for
# anything else, which no check reads and an include could still name.
function fileKind(path) {
  if (path ~ /\.(cpp|h|hpp|inc|inl)$/) return "source"
  if (path ~ /(^|\/)CMakeLists\.txt$/ || path == "src/layers.txt") return "build"
  return ""
}
