#!/usr/bin/env python3
"""Writes the effect catalogue (preset.json) and the parameter-slot table
(effects.json) from the tables below.

    python3 resources/tools/make_catalogue.py           # rewrite both files
    python3 resources/tools/make_catalogue.py --check   # fail if they differ

The slot table is derived from the catalogue, so the two never disagree:
a parameter's "parmaIndex" is its slot, and a slot's "names" are every
parameter name that any type of the module stores in it.
"""

import json
import sys
from pathlib import Path

RES_DIR = Path(__file__).resolve().parent.parent

MODULES = ["FX/COMP", "DS/OD", "AMP", "CAB", "NS GATE", "EQ", "MOD", "DELAY", "REVERB"]

# Parameter words of each module: the module's data block in 16-bit words,
# less word 0 (on/off) and word 1 (effect type).
SLOTS = {"FX/COMP": 4, "DS/OD": 3, "AMP": 6, "CAB": 5, "NS GATE": 3,
         "EQ": 9, "MOD": 7, "DELAY": 7, "REVERB": 4}

AMP_USER_FIRST, AMP_USER_COUNT = 56, 10   # user NR slots 56..65
CAB_USER_FIRST, CAB_USER_COUNT = 27, 10   # user IR slots 27..36


def num(name, slot, lo, hi, cur, unit=None, per_unit=None):
    """A numeric parameter. Limits and value are displayed values."""
    p = {"typeName": name, "parmaIndex": str(slot), "minValue": str(lo),
         "maxValue": str(hi), "current": str(cur)}
    if unit:
        p["unit"] = unit
    if per_unit:
        p["per_unit"] = per_unit
    return p


def choice(name, slot, items, cur, ratios=None, control=None):
    """A choice parameter: its value is the index of the chosen item.
    With `control` it scales the named parameter of the same type by the
    ratio of the chosen item."""
    p = {"typeName": name, "parmaIndex": str(slot), "minValue": "0",
         "maxValue": str(len(items) - 1), "current": str(cur), "item": list(items)}
    if ratios:
        p["itemValue"] = list(ratios)
    if control:
        p["control"] = control
    return p


def level(slot, cur=50):
    return num("LEVEL", slot, 0, 100, cur)


# ---------------------------------------------------------------- FX/COMP
# slot 0 detector / sweep, 1 ratio / Q, 2 attack / range, 3 output level
RATIOS = ["1.5:1", "2:1", "3:1", "4:1", "6:1", "8:1", "12:1", "20:1"]
FX_COMP = {
    "STUDIO COMP": [num("THRES", 0, -40, 0, -20, "dB"), choice("RATIO", 1, RATIOS, 3),
                    num("ATTACK", 2, 1, 100, 10, "ms"), level(3)],
    "OPTO COMP": [num("PEAK", 0, 0, 100, 40), level(3, 55)],
    "LIMITER": [num("THRES", 0, -20, 0, -6, "dB"), num("ATTACK", 2, 1, 50, 2, "ms"), level(3)],
    "TOUCH WAH": [num("SENS", 0, 0, 100, 60), num("Q", 1, 5, 100, 30, per_unit="0.1"),
                  num("RANGE", 2, 0, 100, 70), level(3)],
    "PEDAL WAH": [num("POSITION", 0, 0, 100, 50), num("Q", 1, 5, 100, 40, per_unit="0.1"),
                  choice("RANGE", 2, ["LOW", "MID", "HIGH"], 1), level(3)],
    "STEP FILTER": [num("RATE", 0, 1, 100, 40, "Hz", "0.1"), num("Q", 1, 5, 100, 50, per_unit="0.1"),
                    num("RANGE", 2, 0, 100, 60), level(3)],
    "SLOW ATTACK": [num("SENS", 0, 0, 100, 50), num("ATTACK", 2, 1, 50, 8, "s", "0.1"), level(3)],
}

# ---------------------------------------------------------------- DS/OD
# Every drive has the same three knobs: VOLUME, TONE, GAIN.
DRIVES = [("CLEAN BOOST", 60, 50, 20), ("TREBLE BOOST", 55, 70, 40), ("MILD OD", 50, 50, 35),
          ("MID HUMP OD", 50, 55, 45), ("BLUES OD", 50, 45, 50), ("TRANSPARENT", 55, 50, 30),
          ("CRUNCH DS", 45, 55, 55), ("HARD DS", 40, 50, 70), ("STACK DS", 40, 60, 75),
          ("METAL DS", 35, 55, 85), ("VINTAGE FUZZ", 45, 50, 70), ("OCTAVE FUZZ", 40, 60, 75),
          ("GATED FUZZ", 40, 45, 90)]
DS_OD = {name: [num("VOLUME", 0, 0, 100, v), num("TONE", 1, 0, 100, t), num("GAIN", 2, 0, 100, g)]
         for name, v, t, g in DRIVES}

# ---------------------------------------------------------------- AMP (shared)
AMP_NAMES = [
    "CRYSTAL CLEAN", "JAZZ CLEAN", "SPARKLE CLEAN", "GLASS CLEAN", "WARM CLEAN",
    "SURF CLEAN", "COUNTRY TWANG", "CHIME CLASS A", "CHIME BRIGHT", "TWEED LOW",
    "TWEED HIGH", "AMBER CRUNCH", "BRIT CRUNCH", "BRIT LEAD", "BRIT STACK",
    "BRIT JUMP", "BLUES CRUNCH", "BLUES LEAD", "SMOOTH OD", "BOUTIQUE CLEAN",
    "BOUTIQUE OD", "HOT CRUNCH", "ROCK CRUNCH", "ROCK LEAD", "CLASSIC LEAD",
    "MODERN LEAD", "US HI-GAIN", "US MODERN", "BRIT HI-GAIN", "EURO HI-GAIN",
    "METAL CORE", "THRASH", "DJENT", "DOOM", "STONER",
    "FUZZ STACK", "GARAGE", "PUNK", "GRUNGE", "SHOEGAZE",
    "MELLOW LEAD", "SINGING LEAD", "FUSION LEAD", "SHRED LEAD", "VIOLIN LEAD",
    "BASS CLEAN", "BASS GROWL", "BASS FUZZ", "ACOUSTIC SIM", "ACOUSTIC BODY",
    "TINY TUBE", "LUNCHBOX", "SOLID STATE", "STUDIO COMBO", "CLEAN DI",
]
AMP_PARAMS = [num("GAIN", 0, 0, 100, 40), num("BASS", 1, 0, 100, 50), num("MID", 2, 0, 100, 50),
              num("TREBLE", 3, 0, 100, 50), num("PRES", 4, 0, 100, 50), num("MST", 5, 0, 100, 60)]

# ---------------------------------------------------------------- CAB (shared)
# A user IR shows only the first knob, so LEVEL comes first.
CAB_NAMES = [
    "1X8 TINY", "1X10 COMBO", "1X12 OPEN", "1X12 CLOSED", "1X12 ALNICO",
    "1X12 JAZZ", "1X15 VINTAGE", "2X10 VINTAGE", "2X12 OPEN", "2X12 CLASS A",
    "2X12 BOUTIQUE", "2X12 CLOSED", "4X10 TWEED", "4X12 BRIT 25W", "4X12 BRIT 75W",
    "4X12 VINTAGE", "4X12 MODERN", "4X12 OVERSIZE", "4X12 SLANT", "4X12 METAL",
    "1X15 BASS", "4X10 BASS", "8X10 BASS", "ACOUSTIC BODY", "RADIO SPEAKER",
    "FLAT RESPONSE",
]
CAB_PARAMS = [level(0, 80), num("CENTER", 1, 0, 100, 50), num("DISTANCE", 2, 1, 30, 5, "cm"),
              num("LO CUT", 3, 20, 400, 80, "Hz"), num("HI CUT", 4, 10, 200, 80, "kHz", "0.1")]

# ---------------------------------------------------------------- NS GATE
NS_GATE = {
    "NOISE GATE": [num("THRES", 0, -80, 0, -50, "dB"), num("ATTACK", 1, 1, 50, 2, "ms"),
                   num("RELEASE", 2, 10, 1000, 100, "ms")],
    "SUPPRESSOR": [num("THRES", 0, -80, 0, -60, "dB"), num("SENS", 1, 0, 100, 50),
                   num("RELEASE", 2, 10, 1000, 200, "ms")],
    "HARD GATE": [num("THRES", 0, -80, 0, -40, "dB"), num("ATTACK", 1, 1, 50, 1, "ms"),
                  num("RELEASE", 2, 10, 500, 30, "ms")],
}

# ---------------------------------------------------------------- EQ
# Bands in dB, stored as the offset from -12. Slot 7 low cut, slot 8 level.
def band(name, slot, cur=0):
    return num(name, slot, -12, 12, cur, "dB")


EQ_LEVEL = num("LEVEL", 8, -12, 12, 0, "dB")
EQ = {
    "GRAPHIC 7": [band("100HZ", 0), band("200HZ", 1), band("400HZ", 2), band("800HZ", 3),
                  band("1.6KHZ", 4), band("3.2KHZ", 5), band("6.6KHZ", 6),
                  num("LO CUT", 7, 20, 400, 20, "Hz"), EQ_LEVEL],
    "GUITAR 5": [band("80HZ", 0), band("240HZ", 1), band("750HZ", 2, 2), band("2.2KHZ", 3, 1),
                 band("6.6KHZ", 4), EQ_LEVEL],
    "STUDIO 5": [band("100HZ", 0), band("250HZ", 1), band("630HZ", 2), band("1.6KHZ", 3),
                 band("4KHZ", 4), EQ_LEVEL],
    "3-BAND": [band("100HZ", 0), band("800HZ", 3), band("3.2KHZ", 5), EQ_LEVEL],
}

# ---------------------------------------------------------------- MOD
# slot 0 rate / pitch, 1 depth, 2 feedback / resonance, 3 delay / range / rise,
# 4 tone, 5 mix, 6 output level
RATE = lambda cur, hi=100: num("RATE", 0, 1, hi, cur, "Hz", "0.1")  # noqa: E731
DEPTH = lambda cur: num("DEPTH", 1, 0, 100, cur)  # noqa: E731
TONE6 = lambda cur=50: num("TONE", 4, 0, 100, cur)  # noqa: E731
MIX = lambda cur=50: num("MIX", 5, 0, 100, cur)  # noqa: E731
MOD = {
    "CHORUS": [RATE(8), DEPTH(50), num("F.BACK", 2, 0, 100, 10), num("PRE DLY", 3, 1, 30, 8, "ms"),
               TONE6(60), MIX(50), level(6)],
    "DUAL CHORUS": [RATE(6), DEPTH(60), num("PRE DLY", 3, 1, 30, 12, "ms"), TONE6(55), MIX(50), level(6)],
    "VIBRATO": [RATE(50), DEPTH(40), num("RISE", 3, 0, 50, 0, "s", "0.1"), level(6)],
    "FLANGER": [RATE(5), DEPTH(60), num("F.BACK", 2, 0, 100, 50), num("RANGE", 3, 0, 100, 40),
                TONE6(50), MIX(50), level(6)],
    "JET FLANGER": [RATE(3), DEPTH(80), num("F.BACK", 2, 0, 100, 75), num("RANGE", 3, 0, 100, 60),
                    MIX(50), level(6)],
    "PHASER": [RATE(10), DEPTH(60), num("Q", 2, 0, 100, 40), choice("STAGE", 3, ["4", "6", "8", "12"], 0),
               MIX(50), level(6)],
    "VINTAGE PHASE": [RATE(12), DEPTH(50), num("Q", 2, 0, 100, 20), level(6)],
    "OPTO VIBE": [RATE(20), DEPTH(70), TONE6(45), MIX(50), level(6)],
    "TREMOLO": [RATE(40), DEPTH(60), choice("WAVE", 2, ["SINE", "TRIANGLE", "SQUARE"], 0), level(6)],
    "ROTARY": [RATE(70), DEPTH(60), num("RISE", 3, 0, 50, 15, "s", "0.1"), MIX(100), level(6)],
    "PITCH SHIFT": [num("PITCH", 0, -24, 24, 12, "semi"), MIX(50), level(6)],
    "DETUNE": [num("PITCH", 0, -50, 50, 8, "cent"), MIX(50), level(6)],
    "BIT CRUSH": [num("SAMPLE", 0, 1, 48, 12, "kHz"), num("BIT", 1, 1, 16, 8, "bit"), TONE6(50),
                  MIX(100), level(6)],
}

# ---------------------------------------------------------------- DELAY
# slot 0 level, 1 feedback, 2 time (A), 3 subdivision / time B, 4 ducking
# threshold, 5 tone, 6 modulation. SUBDIV shows TIME as the tapped quarter
# note times the chosen note value; the word keeps the quarter note.
SUBDIV_ITEMS = ["1/4", "1/8.", "1/8", "1/8T", "1/16"]
SUBDIV_RATIOS = ["1", "3/4", "1/2", "1/3", "1/4"]
SUBDIV = choice("SUBDIV", 3, SUBDIV_ITEMS, 0, SUBDIV_RATIOS, "TIME")
D_LEVEL = lambda cur=40: level(0, cur)  # noqa: E731
FBACK = lambda cur=30: num("F.BACK", 1, 0, 100, cur)  # noqa: E731
TIME = lambda lo, hi, cur: num("TIME", 2, lo, hi, cur, "ms")  # noqa: E731
D_TONE = lambda cur=60: num("TONE", 5, 0, 100, cur)  # noqa: E731
D_MOD = lambda cur=0: num("MOD", 6, 0, 100, cur)  # noqa: E731
DELAY = {
    "DIGITAL": [D_LEVEL(), FBACK(), TIME(20, 2000, 400), SUBDIV, num("THRES", 4, -60, 0, 0, "dB"),
                D_TONE(70), D_MOD(0)],
    "ANALOG": [D_LEVEL(), FBACK(35), TIME(20, 600, 300), D_TONE(40), D_MOD(15)],
    "TAPE": [D_LEVEL(), FBACK(35), TIME(40, 800, 350), D_TONE(45), D_MOD(25)],
    "DUAL": [D_LEVEL(), FBACK(25), num("TIME A", 2, 20, 1000, 300, "ms"),
             num("TIME B", 3, 20, 1000, 450, "ms"), D_TONE()],
    "PING PONG": [D_LEVEL(), FBACK(), TIME(20, 1000, 375), SUBDIV, D_TONE()],
    "DUCKING": [D_LEVEL(), FBACK(40), TIME(20, 1000, 450), num("THRES", 4, -60, 0, -30, "dB"), D_TONE()],
    "REVERSE": [D_LEVEL(50), FBACK(20), TIME(100, 2000, 800), D_TONE()],
    "SLAPBACK": [D_LEVEL(45), TIME(20, 250, 110), D_TONE(55)],
    "LO-FI": [D_LEVEL(), FBACK(), TIME(20, 1000, 330), D_TONE(25), D_MOD(30)],
}

# ---------------------------------------------------------------- REVERB
# Every reverb: P.DELAY, LEVEL, DECAY (tenths of a second), TONE.
VERBS = [("ROOM", 10, 35, 8, 1, 50, 50), ("STUDIO", 15, 35, 12, 1, 60, 55),
         ("CHAMBER", 20, 40, 18, 1, 80, 50), ("HALL", 30, 40, 30, 5, 100, 50),
         ("ARENA", 40, 40, 50, 10, 150, 45), ("CHURCH", 35, 45, 60, 10, 150, 40),
         ("PLATE", 10, 40, 20, 1, 80, 65), ("SPRING", 0, 45, 15, 1, 50, 60),
         ("SHIMMER", 40, 45, 80, 10, 200, 70), ("AMBIENT", 50, 40, 70, 10, 200, 45),
         ("MOD VERB", 20, 40, 35, 5, 100, 50), ("GATED", 0, 50, 5, 1, 20, 55),
         ("REVERSE", 0, 45, 20, 5, 50, 50)]
REVERB = {name: [num("P.DELAY", 0, 0, 200, pd, "ms"), num("LEVEL", 1, 0, 100, lv),
                 num("DECAY", 2, lo, hi, dc, "s", "0.1"), num("TONE", 3, 0, 100, tn)]
          for name, pd, lv, dc, lo, hi, tn in VERBS}


def numbered(names):
    return ["%02d %s" % (i + 1, n) for i, n in enumerate(names)]


def typed(table):
    return {key: params for key, params in zip(numbered(list(table)), table.values())}


def build_catalogue():
    amp_names = numbered(AMP_NAMES) + ["%d:Empty" % (AMP_USER_FIRST + i) for i in range(AMP_USER_COUNT)]
    cab_names = numbered(CAB_NAMES) + ["%d:EMPTY" % (CAB_USER_FIRST + i) for i in range(CAB_USER_COUNT)]
    return {
        "FX/COMP": typed(FX_COMP),
        "DS/OD": typed(DS_OD),
        "AMP": [amp_names] + AMP_PARAMS,
        "CAB": [cab_names] + CAB_PARAMS,
        "NS GATE": typed(NS_GATE),
        "EQ": typed(EQ),
        "MOD": typed(MOD),
        "DELAY": typed(DELAY),
        "REVERB": typed(REVERB),
    }


def type_lists(entry):
    """The parameter lists of a module entry, first type first."""
    if isinstance(entry, list):
        return [entry[1:]]
    return list(entry.values())


def word_of(p):
    """The module word that shows a parameter's catalogue value."""
    cur, lo = int(p["current"]), int(p["minValue"])
    return cur - lo if lo < 0 and "item" not in p else cur


def build_slots(catalogue):
    table = {}
    for module in MODULES:
        lists = type_lists(catalogue[module])
        slots = [{"index": i, "names": [], "current": None} for i in range(SLOTS[module])]
        for params in lists:
            for p in params:
                slot = slots[int(p["parmaIndex"])]
                if p["typeName"] not in slot["names"]:
                    slot["names"].append(p["typeName"])
        for p in lists[0]:
            slot = slots[int(p["parmaIndex"])]
            if slot["current"] is None:
                slot["current"] = str(word_of(p))
        for slot in slots:
            if slot["current"] is None:
                slot["current"] = "0"
        table[module] = slots
    return table


def line(value):
    return json.dumps(value, ensure_ascii=False)


def dump_catalogue(cat):
    out = ["{"]
    for mi, module in enumerate(MODULES):
        entry = cat[module]
        tail = "," if mi < len(MODULES) - 1 else ""
        if isinstance(entry, list):
            out.append("  %s: [" % line(module))
            out.append("    [")
            names = entry[0]
            for i in range(0, len(names), 5):
                chunk = ", ".join(line(n) for n in names[i:i + 5])
                out.append("      %s%s" % (chunk, "," if i + 5 < len(names) else ""))
            out.append("    ],")
            for pi, p in enumerate(entry[1:]):
                out.append("    %s%s" % (line(p), "," if pi < len(entry) - 2 else ""))
            out.append("  ]%s" % tail)
        else:
            out.append("  %s: {" % line(module))
            keys = list(entry)
            for ki, key in enumerate(keys):
                out.append("    %s: [" % line(key))
                params = entry[key]
                for pi, p in enumerate(params):
                    out.append("      %s%s" % (line(p), "," if pi < len(params) - 1 else ""))
                out.append("    ]%s" % ("," if ki < len(keys) - 1 else ""))
            out.append("  }%s" % tail)
    out.append("}")
    return "\n".join(out) + "\n"


def dump_slots(table):
    out = ["{"]
    for mi, module in enumerate(MODULES):
        out.append("  %s: [" % line(module))
        slots = table[module]
        for si, s in enumerate(slots):
            out.append("    %s%s" % (line(s), "," if si < len(slots) - 1 else ""))
        out.append("  ]%s" % ("," if mi < len(MODULES) - 1 else ""))
    out.append("}")
    return "\n".join(out) + "\n"


def main(argv):
    catalogue = build_catalogue()
    files = {RES_DIR / "preset.json": dump_catalogue(catalogue),
             RES_DIR / "effects.json": dump_slots(build_slots(catalogue))}
    for text in files.values():
        json.loads(text)  # the hand-made layout must still be JSON
    if "--check" in argv:
        stale = [p.name for p, text in files.items()
                 if not p.exists() or p.read_text(encoding="utf-8") != text]
        if stale:
            print("out of date: " + ", ".join(stale), file=sys.stderr)
            return 1
        return 0
    for path, text in files.items():
        path.write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
