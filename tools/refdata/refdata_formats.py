"""Fixed-column layouts of the three reference data files, written down once.

The generator formats lines with these helpers, and the checker and the predictor parse
them with the matching readers, so that a layout change happens in one place.  Column
numbers in the comments are 1-based, as in the file descriptions of docs/reference-data.md.
All shifts and effects are held as integers in tenths of a ppm.
"""

from __future__ import annotations

from dataclasses import dataclass, field

# ---------------------------------------------------------------------------------------------
# Shared vocabulary
# ---------------------------------------------------------------------------------------------

RING_PYRANOSE, RING_FURANOSE, RING_ALDITOL, RING_NONSUGAR = 0, 1, 2, 3
TYPE_LETTERS = "SFAN"          # substituent type 0..3 (3 is also the phosphate, letter P)
C1_PEC_LETTERS = "nca"          # C1 peculiarity 0..2; 3 (phosphate) is forced by type P
C2_GROUP_KEY = "nod"            # 0 amino, 1 hydroxy, 2 deoxy  (key letters of an effect code)
C2_PROTON_KEY = "eao"           # 0 equatorial, 1 axial, 2 open chain or deoxy

MAX_NAMES_RECORDS = 254


class FormatError(ValueError):
    """A line that breaks its fixed-column layout; the message names the rule."""


def col(line: str, n: int) -> str:
    """Character at 1-based column n, or '' past the end of the line."""
    return line[n - 1] if 0 < n <= len(line) else ""


def cols(line: str, first: int, last: int) -> str:
    return line[first - 1:last]


def strip_comment(raw: str) -> str:
    """What the program's line reader returns: the text before the first ';'."""
    cut = raw.find(";")
    return raw if cut < 0 else raw[:cut]


def data_lines(text: str):
    """(physical line number, line without comment) for every line that is not blank."""
    for number, raw in enumerate(text.splitlines(), start=1):
        line = strip_comment(raw)
        if line.strip():
            yield number, line


def tenths_field(value: int, int_width: int) -> str:
    """A value in tenths written as <integer part right-aligned in int_width>.<tenths digit>."""
    sign = "-" if value < 0 else ""
    whole, tenth = divmod(abs(value), 10)
    head = f"{sign}{whole}"
    if len(head) > int_width:
        raise FormatError(f"value {value / 10:.1f} does not fit {int_width} integer columns")
    return f"{head:>{int_width}}.{tenth}"


def read_tenths(int_part: str, tenth_digit: str) -> int:
    """The integer formed by the integer-part text followed by the tenths digit, as the program
    reads it ('-0' and '5' give -5)."""
    text = (int_part + tenth_digit).strip()
    if not text or not tenth_digit.isdigit():
        raise FormatError(f"not a number: {int_part!r}.{tenth_digit!r}")
    try:
        return int(text)
    except ValueError as exc:
        raise FormatError(f"not a number: {int_part!r}.{tenth_digit!r}") from exc


# ---------------------------------------------------------------------------------------------
# NAMES.PS
# ---------------------------------------------------------------------------------------------

NAMES_SEPARATOR = " /"            # must start at column 4 or 5 (names of 3 or 4 characters)
QUALIFIERS = "ocnd"
ORIENTATIONS = "ace"
CLASS_BY_EQUATORIAL = {            # equatorial among positions 2, 3, 4 -> configuration class
    (): "glc", (2,): "man", (3,): "all", (2, 3): "alt",
    (4,): "gal", (2, 4): "tal", (3, 4): "gul", (2, 3, 4): "ido",
}


@dataclass
class NameRecord:
    name: str
    ring: int = RING_PYRANOSE
    nlinked: int = 0
    c1_pec: int = 0
    o_subst: set = field(default_factory=set)
    n_subst: set = field(default_factory=set)
    amino: set = field(default_factory=set)
    equatorial: set = field(default_factory=set)
    c2_proton: int = 1
    c2_group: int = 1
    carbons: int = 9

    @property
    def class_name(self) -> str:
        if self.ring == RING_FURANOSE:
            return f"fur{self.carbons}"
        if self.ring == RING_ALDITOL:
            return f"ald{self.carbons}"
        if self.ring == RING_NONSUGAR:
            return "non"
        key = tuple(p for p in (2, 3, 4) if p in self.equatorial)
        base = CLASS_BY_EQUATORIAL[key]
        return (base if self.carbons == 6 else f"{base}{self.carbons}")[:4]

    @property
    def forms(self) -> tuple:
        """File prefixes of the residue: a and b for sugars with an anomeric centre, c otherwise."""
        return ("a", "b") if self.ring in (RING_PYRANOSE, RING_FURANOSE) else ("c",)

    @property
    def sub_type(self) -> str:
        """Type letter of this residue when it is a substituent."""
        return "P" if self.c1_pec == 3 else TYPE_LETTERS[self.ring]

    def orientation_code(self) -> int:
        return sum(w for p, w in ((2, 1), (3, 2), (4, 4)) if p in self.equatorial)

    def residue_key(self, form: str) -> str:
        """Key of the residue form in the #P block of EFFECTS.PS (eight characters)."""
        pec = "nca"[self.c1_pec] if self.c1_pec < 3 else "n"
        form_letter = "x" if self.ring >= RING_ALDITOL else form
        return (pec + C2_GROUP_KEY[self.c2_group] + C2_PROTON_KEY[self.c2_proton] + "XX"
                + form_letter + self.sub_type + "1")


def parse_names_line(line: str) -> NameRecord:
    """One NAMES.PS data line (comment already removed) turned into a record, with the checks
    the program makes."""
    at = line.find(NAMES_SEPARATOR)
    if at not in (3, 4):
        raise FormatError('" /" must follow a name of 3 or 4 characters')
    name = line[:at][:4]
    if name.endswith("p"):
        name = name[:-1] + "P"
    text = line[at + 2:]
    rec = NameRecord(name=name)
    if "fur" in text:
        rec.ring = RING_FURANOSE
    if "ald" in text:
        rec.ring = RING_ALDITOL
    if "non" in text:
        rec.ring = RING_NONSUGAR
    if name.endswith("P"):
        rec.c1_pec = 3
    if "Aatt" in text:
        rec.c1_pec = 2
    if "Catt" in text:
        rec.c1_pec = 1
    rec.nlinked = 1 if "Nlink" in text else 0
    if "2" not in text:
        raise FormatError("missing qualifier for atom 2")
    for pos in range(2, 10):
        at_digit = text.find(str(pos))
        if at_digit < 0:
            rec.carbons -= 1
            continue
        if rec.carbons < 9:
            raise FormatError("some qualifiers are missing")
        if at_digit + 2 >= len(text):
            raise FormatError(f"atom {pos} lacks its two letters")
        qual, orient = text[at_digit + 1], text[at_digit + 2]
        if qual == "o":
            rec.o_subst.add(pos)
        elif qual == "c":
            rec.o_subst.add(pos)
            rec.n_subst.add(pos)
        elif qual == "n":
            rec.n_subst.add(pos)
            rec.amino.add(pos)
        elif qual == "d":
            if pos == 2:
                rec.c2_proton, rec.c2_group = 2, 2
        else:
            raise FormatError(f"wrong qualifier for atom {pos}")
        if orient == "c":
            if pos == 2:
                rec.c2_proton = 2
        elif orient == "e":
            rec.equatorial.add(pos)
        elif orient != "a":
            raise FormatError(f"wrong orientation for atom {pos}")
    if 2 in rec.equatorial:
        rec.c2_proton = 0
    if 2 in rec.amino:
        rec.c2_group = 0
    return rec


def parse_names_file(text: str) -> list:
    records = []
    for number, line in data_lines(text):
        try:
            records.append(parse_names_line(line))
        except FormatError as exc:
            raise FormatError(f"NAMES.PS line {number}: {exc}") from exc
    if not records:
        raise FormatError("NAMES.PS contains no data")
    if len(records) > MAX_NAMES_RECORDS:
        raise FormatError("NAMES.PS holds more than 254 residue records")
    return records


def find_name(records: list, name: str):
    """Last record with that exact name, as the program's look-up returns it."""
    found = None
    for rec in records:
        if rec.name == name:
            found = rec
    return found


# ---------------------------------------------------------------------------------------------
# Substituent descriptors (six indices of a descriptor cell)
# ---------------------------------------------------------------------------------------------

@dataclass(frozen=True, order=True)
class Descriptor:
    type: int          # 0 S, 1 F, 2 A, 3 N or P
    anomeric: int      # 0 alpha, 1 beta (0 for A, N, P)
    absolute: int      # 0 same, 1 different
    c2_proton: int     # 0 e, 1 a, 2 open chain
    c2_group: int      # 0 amino, 1 hydroxy, 2 deoxy
    c1_pec: int        # 0 normal, 1 c, 2 a, 3 phosphate

    def code(self, position: int) -> str:
        """The effect code the program prints for a missing effect (e.g. noaDDbS3)."""
        type_letter = "P" if self.c1_pec == 3 else TYPE_LETTERS[self.type]
        anomer = "x" if self.type >= 2 else "ab"[self.anomeric]
        return ("ncan"[self.c1_pec] + C2_GROUP_KEY[self.c2_group] + C2_PROTON_KEY[self.c2_proton]
                + ("DD", "DL")[self.absolute] + anomer + type_letter + str(position))

    def label(self) -> str:
        return self.code(0)[:-1]


def descriptor_of(sub: NameRecord, anomeric: int, absolute: int) -> Descriptor:
    """Descriptor of residue `sub` attached as a substituent, as the calculation builds it."""
    type_index = 3 if sub.c1_pec == 3 else sub.ring
    return Descriptor(type_index, anomeric if type_index < 2 else 0, absolute,
                      sub.c2_proton, sub.c2_group, sub.c1_pec)


PHOSPHATE = NameRecord(name="P", ring=0, c1_pec=3, o_subst={2}, c2_proton=0, c2_group=0,
                       carbons=0)


# ---------------------------------------------------------------------------------------------
# c13data files
# ---------------------------------------------------------------------------------------------

# Substituent field of a shift line: start column of the 15-character block and offsets in it.
SHIFT_SUB_START = (1, 17)
SHIFT_PUNCTUATION = {3: "(", 6: ",", 9: ",", 12: ",", 14: ")", 16: "/",
                     19: "(", 22: ",", 25: ",", 28: ",", 30: ")"}
SHIFT_ARROW = (32, 33)
SHIFT_C1_EFFECT = ((34, 35, 36, 37), (39, 40, 41, 42))   # integer part, '.', tenths digit
SHIFT_FIRST_VALUE = 43                                     # shift k: blank at 37+6k, ...


def shift_value_columns(k: int):
    """(blank column, integer-part first, integer-part last, point column, tenths column)."""
    return 37 + 6 * k, 38 + 6 * k, 40 + 6 * k, 41 + 6 * k, 42 + 6 * k


SHIFT_ANOMER = {"a": 0, "A": 0, "b": 1, "B": 1}
SHIFT_TYPE = {"S": 0, "s": 0, "F": 1, "f": 1, "A": 2, "a": 2, "P": 3, "p": 3, "N": 3, "n": 3}
SHIFT_C2_GROUP = {"O": 1, "o": 1, "X": 1, "x": 1, "N": 0, "n": 0, "D": 2, "d": 2}
SHIFT_C2_PROTON = {"A": 1, "a": 1, "E": 0, "e": 0, "C": 2, "c": 2, "X": 2, "x": 2}
SHIFT_ABSOLUTE = {"D": 0, "d": 0, "X": 0, "x": 0, "L": 1, "l": 1}
SHIFT_C1_PEC = {"N": 0, "n": 0, "C": 1, "c": 1, "A": 2, "a": 2}


def format_shift_sub(desc, position: int) -> str:
    """15 characters describing one substituent of a shift line (or the empty pattern)."""
    if desc is None:
        return "xX(2x,2x,XX,x)0"
    anomer = "ab"[desc.anomeric] if desc.type < 2 else "x"
    type_letter = "P" if desc.c1_pec == 3 else TYPE_LETTERS[desc.type]
    pec = "N" if desc.c1_pec == 3 else "NCA"[desc.c1_pec]
    return (f"{anomer}{type_letter}(2{'NOD'[desc.c2_group]},2{'EAC'[desc.c2_proton]},"
            f"D{'DL'[desc.absolute]},{pec}){position}")


def format_shift_line(sub1, p1: int, sub2, p2: int, c1e1: int, c1e2: int, shifts) -> str:
    head = (format_shift_sub(sub1, p1) + "/" + format_shift_sub(sub2, p2) + "->"
            + tenths_field(c1e1, 2) + " " + tenths_field(c1e2, 2))
    return head + "".join(" " + tenths_field(v, 3) for v in shifts)


@dataclass
class ShiftLine:
    p1: int
    p2: int
    sub1: Descriptor | None
    sub2: Descriptor | None
    c1e1: int
    c1e2: int
    shifts: list


def _shift_sub(line: str, start: int, which: str) -> Descriptor:
    c = lambda off: col(line, start + off - 1)  # noqa: E731  offsets are 1-based in the block
    pec = SHIFT_C1_PEC.get(c(13))
    if pec is None:
        raise FormatError(f"cannot determine the {which} substituent C1 peculiarity")
    type_letter = c(2)
    if type_letter not in SHIFT_TYPE:
        raise FormatError(f"cannot determine the type of the {which} substituent")
    type_index = SHIFT_TYPE[type_letter]
    if type_letter in "Pp":
        pec = 3
    anomeric = 0
    if type_index < 2:
        if c(1) not in SHIFT_ANOMER:
            raise FormatError(f"bad anomeric letter of the {which} substituent")
        anomeric = SHIFT_ANOMER[c(1)]
    if c(11) not in SHIFT_ABSOLUTE:
        raise FormatError(f"bad absolute configuration of the {which} substituent")
    if c(5) not in SHIFT_C2_GROUP:
        raise FormatError(f"bad C2 group of the {which} substituent")
    if c(8) not in SHIFT_C2_PROTON:
        raise FormatError(f"bad C2 proton orientation of the {which} substituent")
    return Descriptor(type_index, anomeric, SHIFT_ABSOLUTE[c(11)], SHIFT_C2_PROTON[c(8)],
                      SHIFT_C2_GROUP[c(5)], pec)


def parse_shift_line(line: str, carbons: int) -> ShiftLine:
    """One c13data data line, checked column by column in the order the program checks it."""
    for k in range(1, carbons + 1):
        blank, _, _, point, _ = shift_value_columns(k)
        if len(line) < 42 + 6 * k:
            raise FormatError("line too short (corrupted)")
        if col(line, blank) != " " or col(line, point) != ".":
            raise FormatError("wrong chemical shifts dataset")
    for column, char in SHIFT_PUNCTUATION.items():
        if col(line, column) != char:
            raise FormatError("wrong qualifier prefix")
    if cols(line, *SHIFT_ARROW) != "->":
        raise FormatError("wrong qualifier prefix")
    if col(line, 36) != "." or col(line, 41) != ".":
        raise FormatError("wrong effects dataset")
    p1_text, p2_text = col(line, 15), col(line, 31)
    if not (p1_text.isdigit() and p2_text.isdigit()):
        raise FormatError("cannot read the substitution position")
    p1, p2 = int(p1_text), int(p2_text)
    if p1 == 1 or p2 == 1:
        raise FormatError("substitution position cannot be 1")
    if p1 and p1 == p2:
        raise FormatError("two substitution positions are the same")
    if p2 and p1 > p2:
        raise FormatError("lower substitution position must come first")
    if p1 == 0 and p2 != 0:
        raise FormatError("monosubstitution must be given in the first position")
    if p1 > carbons or p2 > carbons:
        raise FormatError("substitution position beyond the carbon count")
    sub1 = _shift_sub(line, 1, "first") if p1 else None
    sub2 = _shift_sub(line, 17, "second") if p2 else None
    effects = []
    for first, last, point, digit in SHIFT_C1_EFFECT:
        value = read_tenths(cols(line, first, last), col(line, digit))
        if not 0 <= value <= 255:
            raise FormatError("C1 effect beyond 0..+25.5")
        effects.append(value)
    shifts = []
    k = 1
    while True:
        _, first, last, _, digit = shift_value_columns(k)
        text = (cols(line, first, last) + col(line, digit)).strip()
        if not text:
            break
        value = read_tenths(cols(line, first, last), col(line, digit))
        if value < 0:
            raise FormatError(f"shift of C{k} below zero")
        shifts.append(value)
        k += 1
    if not shifts:
        raise FormatError("no spectral data")
    if len(shifts) != carbons:
        raise FormatError(f"{len(shifts)} shifts, residue has {carbons} carbons")
    return ShiftLine(p1, p2, sub1, sub2, effects[0], effects[1], shifts)


def shift_file_name(rec: NameRecord, form: str) -> str:
    return f"{form}-{rec.name}.dat".upper()


# ---------------------------------------------------------------------------------------------
# EFFECTS.PS
# ---------------------------------------------------------------------------------------------

EFFECT_PEC = {"N": 0, "n": 0, "C": 1, "c": 1, "A": 2, "a": 2}
EFFECT_C2_GROUP = {"O": 1, "o": 1, "X": 1, "x": 1, "N": 0, "n": 0, "D": 2, "d": 2}
EFFECT_C2_PROTON = {"A": 1, "a": 1, "E": 0, "e": 0, "O": 2, "o": 2, "X": 2, "x": 2}
EFFECT_ABSOLUTE = {"D": 0, "d": 0, "X": 0, "x": 0, "L": 1, "l": 1}
EFFECT_ANOMER = {"A": 0, "a": 0, "B": 1, "b": 1}
EFFECT_TYPE = {"S": 0, "s": 0, "F": 1, "f": 1, "A": 2, "a": 2, "P": 3, "p": 3, "N": 3, "n": 3}
EFFECT_ARROW = (10, 11)
EFFECT_SLASH = 18
EFFECT_C1 = (13, 14, 15, 16)


def effect_value_columns(j: int):
    """(integer-part first, integer-part last, point column, tenths column) of value j."""
    return 14 + 5 * j, 16 + 5 * j, 17 + 5 * j, 18 + 5 * j


def format_effect_head(desc: Descriptor, position: int, form: str) -> str:
    """Columns 1..9: the substituent, the position and the form letter (blank for both forms)."""
    anomer = "ab"[desc.anomeric] if desc.type < 2 else "x"
    type_letter = "P" if desc.c1_pec == 3 else TYPE_LETTERS[desc.type]
    pec = "n" if desc.c1_pec == 3 else "nca"[desc.c1_pec]
    return (pec + C2_GROUP_KEY[desc.c2_group] + C2_PROTON_KEY[desc.c2_proton] + "D"
            + "DL"[desc.absolute] + anomer + type_letter + str(position) + (form or " "))


def format_effect_line(desc: Descriptor, position: int, form: str, c1_effect: int, values) -> str:
    line = format_effect_head(desc, position, form) + "-> " + tenths_field(c1_effect, 2) + " /"
    return line + "".join(tenths_field(v, 3) for v in values)   # 5 columns per value, no gap


def format_phosphate_line(key: str, c1: int, c2: int) -> str:
    return f"{key} -> {tenths_field(c1, 2)} / {tenths_field(c2, 2)}"


@dataclass
class EffectLine:
    number: int
    form: str          # '', 'a' or 'b'
    position: int      # 0 in the #non block
    desc: Descriptor
    c1_effect: int
    values: list       # c effects (ordinary block) or [alpha, beta] (#non block)


def parse_effect_line(line: str, number: int, carbons: int, non_mode: bool) -> EffectLine:
    """One effect line of an ordinary or #non block, with every column check of the program.
    The form letter is returned but the line is checked in full whatever it says."""
    m = 2 if non_mode else carbons
    for k in range(1, m + 1):
        if len(line) < 18 + 5 * k:
            raise FormatError("line too short (corrupted)")
        if col(line, 17 + 5 * k) != ".":
            raise FormatError("wrong effects dataset")
    if cols(line, *EFFECT_ARROW) != "->" or col(line, EFFECT_SLASH) != "/":
        raise FormatError("wrong effect prefix")
    if col(line, 15) != ".":
        raise FormatError("wrong C1 effect")
    form = col(line, 9)
    if form not in (" ", "a", "b"):
        raise FormatError("wrong anomeric configuration of the substituted residue")
    position = 0
    if not non_mode:
        if not col(line, 8).isdigit():
            raise FormatError("cannot interpret substitution position")
        position = int(col(line, 8))
        if not 2 <= position <= carbons:
            raise FormatError(f"substitution position beyond 2..{carbons}")
    if col(line, 1) not in EFFECT_PEC:
        raise FormatError("cannot determine the substituent C1 peculiarity")
    pec = EFFECT_PEC[col(line, 1)]
    if col(line, 7) not in EFFECT_TYPE:
        raise FormatError("cannot determine the substituent type")
    type_index = EFFECT_TYPE[col(line, 7)]
    if col(line, 7) in "Pp":
        pec = 3
    anomeric = 0
    if type_index < 2:
        if col(line, 6) not in EFFECT_ANOMER:
            raise FormatError("anomeric configuration of an S or F substituent must be a or b")
        anomeric = EFFECT_ANOMER[col(line, 6)]
    if col(line, 5) not in EFFECT_ABSOLUTE:
        raise FormatError("absolute configuration must be DD or DL")
    if col(line, 2) not in EFFECT_C2_GROUP:
        raise FormatError("C2 group must be O, N or D")
    if col(line, 3) not in EFFECT_C2_PROTON:
        raise FormatError("C2 proton must be a, e or o")
    desc = Descriptor(type_index, anomeric, EFFECT_ABSOLUTE[col(line, 5)],
                      EFFECT_C2_PROTON[col(line, 3)], EFFECT_C2_GROUP[col(line, 2)], pec)
    c1_effect = read_tenths(cols(line, 13, 14), col(line, 16))
    if not 0 <= c1_effect <= 255:
        raise FormatError("C1 effect beyond 0..+25.5")
    values = []
    j = 1
    while True:
        first, last, _, digit = effect_value_columns(j)
        text = (cols(line, first, last) + col(line, digit)).strip()
        if not text:
            break
        values.append(read_tenths(cols(line, first, last), col(line, digit)))
        j += 1
    if not values:
        raise FormatError("no spectral data")
    if non_mode:
        if len(values) != 2:
            raise FormatError("#non lines hold exactly two values")
        if any(not -128 <= v <= 127 for v in values):
            raise FormatError("#non effect beyond -12.7..+12.7")
    elif len(values) != carbons:
        raise FormatError(f"{len(values)} effects, residue has {carbons} carbons")
    return EffectLine(number, "" if form == " " else form, position, desc, c1_effect, values)


def parse_phosphate_line(line: str) -> tuple:
    """(key, C1 effect, C2 effect) of a #P line."""
    if col(line, 15) != "." or col(line, 22) != ".":
        raise FormatError("#P line: '.' expected in columns 15 and 22")
    c1 = read_tenths(cols(line, 13, 14), col(line, 16))
    c2 = read_tenths(cols(line, 20, 21), col(line, 23))
    for v in (c1, c2):
        if not -99 <= v <= 127:
            raise FormatError("#P effect beyond -9.9..+12.7")
    return line[:8], c1, c2


def split_effect_blocks(text: str):
    """Blocks of EFFECTS.PS in file order: list of (header name, [(number, line), ...]).
    The closing empty block '#' is returned as a block with the name ''."""
    blocks = []
    current = None
    for number, line in data_lines(text):
        if line.startswith("#"):
            current = (line.strip()[1:], [])
            blocks.append(current)
        elif current is None:
            raise FormatError(f"EFFECTS.PS line {number}: data before the first block header")
        else:
            current[1].append((number, line))
    return blocks
