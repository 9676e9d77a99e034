"""The structure notation read into a graph, and polymers compared up to rotation.

A record is a chain of elements, each an optional side chain in brackets followed by a residue
token: chain := element+, element := ['[' chain ']'] token. Within a chain the residue of one
element is attached to the residue of the next one, at the position the next one writes as d);
the last residue of a side chain is attached to the residue after the bracket, at the position
that one writes as e]; the first residue of the main chain carries the last one, since the
repeating unit closes on itself. Both the form the program reads (`[aDGal-]-2]3)aDGal-...`) and
the form it writes (`-[aDGal-]=2]3)aDGal--...`) are accepted.

The same parser reads the program's topology templates (`-[o3-[x4]=v2]=o0-o1-`), whose tokens
are node numbers instead of residues, so that a random unit can be built on a template.
"""

from __future__ import annotations

import re
from dataclasses import dataclass

# A phosphate bridges two residues and carries its one neighbour at this position.
PHOSPHATE = "P"
PHOSPHATE_POSITION = 2

_TOKEN = re.compile(r"^(?:([2-9])\])?(?:([2-9])\))?([abc])([DL])(.+)$")


class NotationError(ValueError):
    pass


@dataclass
class Element:
    """One token of a record and what it carries there."""
    token: str
    predecessor: int | None = None  # element written before it in its chain (carried at d)
    side: int | None = None         # last element of the side chain it carries (at e)
    parent: int | None = None       # element it is attached to
    main: bool = False


def _is_separator(text: str, i: int) -> bool:
    """A ']' between two position digits (4]3)) belongs to a token; any other closes a bracket."""
    return 0 < i < len(text) - 1 and text[i - 1].isdigit() and text[i + 1].isdigit()


def _lex(text: str) -> list:
    items = []
    i = 0
    text = text.replace("]=", "]-")
    while i < len(text):
        c = text[i]
        if c == "-":
            i += 1
        elif c == "[":
            items.append("[")
            i += 1
        elif c == "]" and not _is_separator(text, i):
            items.append("]")
            i += 1
        else:
            start = i
            while i < len(text) and text[i] not in "-[" and not (
                    text[i] == "]" and not _is_separator(text, i)):
                i += 1
            items.append(text[start:i])
    return items


def parse_layout(text: str) -> list:
    """The elements of a record in written order, with who carries whom. Checks the brackets and
    that a side chain is followed by a residue; positions are not looked at."""
    items = _lex(text.strip())
    elements: list = []
    at = 0

    def chain(depth: int) -> list:
        nonlocal at
        members = []
        while at < len(items):
            side = None
            if items[at] == "]":
                break
            if items[at] == "[":
                at += 1
                inner = chain(depth + 1)
                if at >= len(items) or items[at] != "]":
                    raise NotationError("unbalanced '['")
                at += 1
                if not inner:
                    raise NotationError("empty side chain")
                side = inner[-1]
                if at >= len(items) or items[at] in "[]":
                    raise NotationError("a side chain must be followed by the residue carrying it")
            index = len(elements)
            elements.append(Element(items[at], side=side, main=depth == 0))
            if side is not None:
                elements[side].parent = index
            if members:
                elements[index].predecessor = members[-1]
                elements[members[-1]].parent = index
            members.append(index)
            at += 1
        return members

    main = chain(0)
    if at != len(items):
        raise NotationError("unbalanced ']'")
    if not main:
        raise NotationError("no residue")
    first, last = elements[main[0]], main[-1]
    first.predecessor = last
    elements[last].parent = main[0]
    return elements


@dataclass
class Polymer:
    """A repeating unit: residues (`aDGlc`, `P`), for each the residue it is attached to and the
    position there, and the main chain in written order (each one attached to the next)."""
    residues: list
    parent: list
    position: list
    main: list

    def children(self, node: int) -> list:
        """(position, child) of every residue attached to `node`, by position."""
        return sorted((self.position[c], c) for c in range(len(self.residues))
                      if self.parent[c] == node)

    def key(self) -> tuple:
        """Equal for two polymers exactly when one is the other written from another residue of
        its main chain: the smallest description over the rotations of the main chain."""
        on_main = set(self.main)

        def subtree(node: int) -> tuple:
            return (self.residues[node],
                    tuple((p, subtree(c)) for p, c in self.children(node)))

        def description(node: int) -> tuple:
            return (self.residues[node],
                    tuple((p, subtree(c) if c not in on_main else None)
                          for p, c in self.children(node)))

        rotations = []
        for start in range(len(self.main)):
            order = self.main[start:] + self.main[:start]
            rotations.append(tuple(description(n) for n in order))
        return min(rotations)


def parse_token(token: str) -> tuple:
    """(residue, e, d) of one residue token: `2]3)aDGal` gives ("aDGal", 2, 3); a position not
    written is None."""
    if token == PHOSPHATE:
        return PHOSPHATE, None, None
    match = _TOKEN.match(token)
    if not match:
        raise NotationError(f"cannot read the residue token {token!r}")
    side, chain, anomeric, absolute, name = match.groups()
    return (anomeric + absolute + name, int(side) if side else None,
            int(chain) if chain else None)


def parse_polymer(text: str) -> Polymer:
    """The polymer a record describes; NotationError when it cannot be read or a residue writes
    a position it has nothing attached at (or has something attached where it writes none)."""
    elements = parse_layout(text)
    residues, parent, position = [], [], []
    tokens = [parse_token(e.token) for e in elements]
    for element in elements:
        parent.append(element.parent)
        position.append(None)
    for index, (element, (residue, side_at, chain_at)) in enumerate(zip(elements, tokens)):
        residues.append(residue)
        if residue == PHOSPHATE:
            if element.side is not None:
                raise NotationError("a phosphate cannot carry a side chain")
            chain_at = PHOSPHATE_POSITION if element.predecessor is not None else None
        if (side_at is None) != (element.side is None):
            raise NotationError(f"{element.token}: side chain and e] do not agree")
        if (chain_at is None) != (element.predecessor is None):
            raise NotationError(f"{element.token}: chain and d) do not agree")
        if side_at is not None and side_at == chain_at:
            raise NotationError(f"{element.token}: two residues at one position")
        if element.side is not None:
            position[element.side] = side_at
        if element.predecessor is not None:
            position[element.predecessor] = chain_at
    main = [i for i, e in enumerate(elements) if e.main]
    return Polymer(residues, parent, position, main)


def same_polymer(a: str, b: str) -> bool:
    return parse_polymer(a).key() == parse_polymer(b).key()


def fill_template(template: str, tokens: dict) -> str:
    """The record a program template describes with node k replaced by tokens[k], in the form the
    program reads (`-[o2]=o0-o1-` with tokens gives `-[T2-]-T0-T1-`)."""
    text = re.sub(r"[oxyv]([0-9])", lambda m: tokens[int(m.group(1))] + "-", template)
    text = text.replace("]=", "]-")
    while "--" in text:
        text = text.replace("--", "-")
    return text


def template_nodes(template: str) -> list:
    """The elements of a template, with each token replaced by its node number (an int)."""
    elements = parse_layout(template)
    for element in elements:
        if not re.fullmatch(r"[oxyv][0-9]", element.token):
            raise NotationError(f"not a template token: {element.token!r}")
        element.token = int(element.token[1])
    return elements
