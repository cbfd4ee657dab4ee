#!/usr/bin/env python3
"""Writes the empty preset file (Empty.pqv) from the effect catalogue.

    python3 resources/tools/make_empty_preset.py           # rewrite the file
    python3 resources/tools/make_empty_preset.py --check   # fail if it differs

The editor clears a unit preset slot by importing this file. An import takes
every word the file does not set from the preset shown on the unit, so the
file sets all of them: each of the nine modules is off, has its first effect
type and names every parameter of that type with its default value, and the
six EXP words are all present (volume pedal off, range 0 to 100).

Values are written as preset files store them: the module word, which for a
parameter with a negative minimum is its offset from the minimum and for a
choice list the choice index; a parameter whose minimum is 40 is stored as
its word less 40. The words are checked against the defaults of the
parameter-slot table (effects.json). The layout (sorted keys, four-space
indent) is the one the editor's own export writes.
"""

import json
import sys
from pathlib import Path

RES_DIR = Path(__file__).resolve().parent.parent
OUT = RES_DIR / "Empty.pqv"

MODULES = ["FX/COMP", "DS/OD", "AMP", "CAB", "NS GATE", "EQ", "MOD", "DELAY", "REVERB"]
EXP = {"MODULE_CTRL": 0, "PARA_CTRL": 0, "FUN_SWITCH": 0,
       "VOL_SWITCH": 0, "VOL_MIN": 0, "VOL_MAX": 100}


def first_type_parameters(entry):
    """The parameters of a module's first type, each with its slot."""
    if isinstance(entry, list):  # shared: element k is slot k - 1
        return [(k - 1, p) for k, p in enumerate(entry) if k >= 1]
    key = next(k for k in sorted(entry) if k[:2] == "01")
    params = entry[key]
    return [(int(p.get("parmaIndex", i)), p) for i, p in enumerate(params)]


def default_word(p):
    cur = int(p["current"])
    lo = int(p["minValue"])
    return cur - lo if lo < 0 else cur


def build(catalogue, slots):
    modules = {}
    for name in MODULES:
        data = {}
        table = slots[name]
        params = first_type_parameters(catalogue[name])
        if sorted(s for s, _ in params) != list(range(len(table))):
            raise SystemExit(f"{name}: the first type does not set every parameter slot")
        for slot, p in params:
            word = default_word(p)
            if word != int(table[slot]["current"]):
                raise SystemExit(f"{name} {p['typeName']}: default word {word} differs from "
                                 f"effects.json's {table[slot]['current']}")
            data[p["typeName"]] = word - 40 if int(p["minValue"]) == 40 else word
        modules[name] = {"SWITCH": 0, "TYPE": 0, "Data": data}
    return {
        "fileInfo": {"device": "QV450", "device_version": "V1.0.5", "app": "QV450 Edit",
                     "app_version": "V1.0.5", "schema": "QV450 Preset", "preset_name": "Empty"},
        "effectModule": modules,
        "Exp": EXP,
    }


def render():
    catalogue = json.loads((RES_DIR / "preset.json").read_text(encoding="utf-8"))
    slots = json.loads((RES_DIR / "effects.json").read_text(encoding="utf-8"))
    return json.dumps(build(catalogue, slots), indent=4, sort_keys=True, ensure_ascii=False) + "\n"


def main(argv):
    text = render()
    if "--check" in argv:
        if not OUT.exists() or OUT.read_text(encoding="utf-8") != text:
            print(f"{OUT} is out of date; run {Path(__file__).name}", file=sys.stderr)
            return 1
        return 0
    OUT.write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
