#!/usr/bin/env python3
"""Checks with LinuxCNC's rs274 interpreter what rewritten programs make a machine do.

For each program it runs `tarvelin --stdout <options> <program>` and has rs274 turn
both the program and the rewritten one into canonical machine calls. The rewritten
calls must be the program's own calls, in order, feed rates included, plus inserted
rapid moves that go straight down in machine coordinates (work offsets, G92,
rotation, units and tool length offsets applied), from where the tool was to below
it, and end above the feed move that follows them, which itself goes straight down
from there. An inserted rapid that ends below the first height (in the frame of
that feed move) must, in the word mode, start at or below the first height (where
the tool has come down over the spot already, or is brought down to it by an
inserted rapid just before), and end, with the gap to spare, above a point where
the same tool
has been fed before with A, B and C at 0 (a tilted tool's shank does not stand
over the point it cut): the end point of an earlier feed move
at the same X and Y (to 0.0001 of the program's unit) whose Z is at or below the
rapid's Z minus the gap, since the last tool change or stop (where a tool may be
changed by hand). So must one that ends below the highest Z (in the program's
coordinates) where the program has fed sideways (a feed move or arc that moves in
X or Y): the stock's top may be there.

Usage: interpreter_check.py [--program=PATH] [TARVELIN OPTION...] FILE...
Every other option goes to tarvelin (for example --words --gap=0.1). Exit status 1
if any program breaks the rules; where rs274 stops on an error, the calls before it
are compared and the rewrite must stop on the same error.
"""
import argparse
import atexit
import copy
import math
import os
import re
import subprocess
import tempfile

CALL = re.compile(r"^\s*\d+ N\S*\s+(.*)$")
NUMBER = r"(-?\d+(?:\.\d+)?)"
MOTION = re.compile(r"^(STRAIGHT_TRAVERSE|STRAIGHT_FEED|ARC_FEED|STRAIGHT_PROBE|RIGID_TAP)\((.*)\)$")
FRAMES = ("USE_LENGTH_UNITS(", "SET_G5X_OFFSET(", "SET_G92_OFFSET(", "SET_XY_ROTATION(",
          "USE_TOOL_LENGTH_OFFSET(")
MILLIMETRES = {"INCHES": 25.4, "MM": 1.0, "CM": 10.0}


def tool_table():
    """Returns the path of a tool table that holds tools 1 to 999, small enough for
    any radius compensation move, so that tool changes do not stop rs274."""
    table = tempfile.NamedTemporaryFile("w", suffix=".tbl", delete=False)
    table.writelines(f"T{n} P{n} D0.1 Z{n / 100:.2f}\n" for n in range(1, 1000))
    table.close()
    return table.name


TOOLS = tool_table()
atexit.register(os.remove, TOOLS)


def canonical_calls(path):
    """Returns rs274's canonical calls for the program at `path`, and the error
    that stopped it (None when it ran to its end)."""
    # rs274 keeps its tool table's memory map in $HOME: runs that shared it,
    # at the same time or one after the other, would see each other's tools.
    with tempfile.TemporaryDirectory() as home:
        run = subprocess.run(["rs274", "-t", TOOLS, "-g", path], capture_output=True, text=True,
                             errors="replace", env=dict(os.environ, HOME=home))
    calls = [m.group(1) for line in run.stdout.splitlines() if (m := CALL.match(line))]
    errors = [line for line in run.stderr.splitlines() if line.strip() != "executing"]
    # An error may name the file and the line, which differ between a program
    # and its rewrite.
    error = re.sub(r"(?i)(line:?\s*)\d+", r"\1N", errors[0].replace(path, "<program>")) \
        if errors else "error"
    return calls, error if run.returncode != 0 else None


def printed(unit):
    """Returns how far apart, in millimetres, two places printed to four decimals
    of a unit of `unit` millimetres may be that are the same place."""
    return 1e-4 * unit + 1e-6


def numbers(call):
    """Returns the numbers between the parentheses of a call."""
    return [float(v) for v in re.findall(NUMBER, call[call.index("(") + 1:])]


class FedPoints:
    """Feed end points in machine millimetres, with their rotary axes, each with
    the deepest Z fed to there; looked up by place in constant time."""

    CELL = 0.01  # millimetres, wider than any distance points are matched within

    def __init__(self):
        self.cells = {}

    def cell(self, rotary, x, y):
        return rotary, math.floor(x / self.CELL), math.floor(y / self.CELL)

    def add(self, point, rotary):
        x, y, z = point
        points = self.cells.setdefault(self.cell(rotary, x, y), {})
        points[(x, y)] = min(z, points.get((x, y), math.inf))

    def reached(self, x, y, rotary, near, depth):
        """True iff a point within `near` of (x, y), at the same rotary axes, was
        fed to `depth` or deeper."""
        axes, cx, cy = self.cell(rotary, x, y)
        return any(abs(px - x) <= near and abs(py - y) <= near and z <= depth
                   for i in (cx - 1, cx, cx + 1) for j in (cy - 1, cy, cy + 1)
                   for (px, py), z in self.cells.get((axes, i, j), {}).items())


class Machine:
    """Follows the frame, the tool and the place of the tool through canonical calls."""

    def __init__(self):
        self.unit = 1.0  # millimetres per program unit
        self.g5x = [0.0, 0.0, 0.0]
        self.g92 = [0.0, 0.0, 0.0]
        self.rotation = 0.0
        self.tool_length = 0.0
        self.plane = "XY"
        self.place = [0.0, 0.0, 0.0]  # in program coordinates
        self.rotary = (0.0, 0.0, 0.0)  # A, B, C
        self.fed = FedPoints()  # since the last tool change or stop
        self.top = None  # the highest Z fed sideways to, in millimetres of the program's frame

    def machine(self, place):
        """Returns a place in program coordinates in machine millimetres."""
        x, y = place[0] * self.unit + self.g92[0], place[1] * self.unit + self.g92[1]
        cos, sin = math.cos(math.radians(self.rotation)), math.sin(math.radians(self.rotation))
        return [cos * x - sin * y + self.g5x[0], sin * x + cos * y + self.g5x[1],
                place[2] * self.unit + self.g92[2] + self.g5x[2] + self.tool_length]

    def program(self, point):
        """Returns a place in machine millimetres in program coordinates: machine() undone."""
        x, y = point[0] - self.g5x[0], point[1] - self.g5x[1]
        cos, sin = math.cos(math.radians(self.rotation)), math.sin(math.radians(self.rotation))
        x, y = cos * x + sin * y, -sin * x + cos * y
        return [(x - self.g92[0]) / self.unit, (y - self.g92[1]) / self.unit,
                (point[2] - self.g92[2] - self.g5x[2] - self.tool_length) / self.unit]

    def end_point(self, call):
        """Returns where a motion call leaves the tool, in program coordinates."""
        name, args = MOTION.match(call).groups()
        values = numbers(call)
        if name != "ARC_FEED":
            return values[:3]
        first, second, axis = values[0], values[1], values[5]
        end = list(self.place)
        if self.plane == "XY":
            end = [first, second, axis]
        elif self.plane == "XZ":
            end[2], end[0], end[1] = first, second, axis
        else:
            end[1], end[2], end[0] = first, second, axis
        return end

    def rotary_axes(self, call):
        """Returns where a motion call leaves the A, B and C axes."""
        values = numbers(call)
        start = 6 if call.startswith("ARC_FEED") else 3
        return tuple(values[start:start + 3]) if len(values) >= start + 3 else self.rotary

    def follow(self, call):
        """Takes one call of the program."""
        if call.startswith(FRAMES):
            # A new frame leaves the tool where it is: its place in the
            # program's coordinates changes instead.
            before = self.machine(self.place)
            self.change_frame(call)
            self.place = self.program(before)
        elif call.startswith("SELECT_PLANE("):
            self.plane = call[len("SELECT_PLANE(CANON_PLANE_"):].rstrip(")")
        elif call.startswith(("CHANGE_TOOL(", "CHANGE_TOOL_NUMBER(", "PROGRAM_STOP(",
                              "OPTIONAL_PROGRAM_STOP(")):
            # At a stop the tool may be changed by hand.
            self.fed = FedPoints()
        elif MOTION.match(call):
            before = self.place
            self.place = self.end_point(call)
            self.rotary = self.rotary_axes(call)
            # With a rotary axis off 0 the tool may be tilted: its shank did
            # not stand over the point it cut.
            if call.startswith(("STRAIGHT_FEED", "ARC_FEED")) and not any(self.rotary):
                self.fed.add(self.machine(self.place), self.rotary)
            # The stock's top is at least as high as the program feeds sideways,
            # in its own coordinates: where the tip was, whatever the tool. An
            # arc always does, a full circle too, though it ends where it started.
            if call.startswith("ARC_FEED") or (call.startswith("STRAIGHT_FEED") and
                                               before[:2] != self.place[:2]):
                z = self.place[2] * self.unit
                self.top = z if self.top is None else max(self.top, z)

    def change_frame(self, call):
        """Takes a call that changes units, offsets, rotation or tool length."""
        if call.startswith("USE_LENGTH_UNITS("):
            self.unit = next(v for k, v in MILLIMETRES.items() if k in call)
        elif call.startswith("SET_G5X_OFFSET("):
            self.g5x = [v * self.unit for v in numbers(call)[1:4]]
        elif call.startswith("SET_G92_OFFSET("):
            self.g92 = [v * self.unit for v in numbers(call)[0:3]]
        elif call.startswith("SET_XY_ROTATION("):
            self.rotation = numbers(call)[0]
        elif call.startswith("USE_TOOL_LENGTH_OFFSET("):
            self.tool_length = numbers(call)[2] * self.unit


class Checker:
    """Walks the calls of a program and of its rewrite side by side."""

    def __init__(self, gap, first):
        self.gap, self.first = gap, first
        self.machine = Machine()
        self.approaches = 0
        self.deep = 0
        self.two_step = 0
        self.words = False  # the word mode rewrote the program

    def approach_problem(self, call, following):
        """Returns what is wrong with an inserted call, or None for a sound approach;
        `following` iterates over the calls after it."""
        if not call.startswith("STRAIGHT_TRAVERSE("):
            return "not a rapid move"
        here = self.machine.machine(self.machine.place)
        end = self.machine.end_point(call)
        bottom = self.machine.machine(end)
        # rs274 prints four decimals of the program's unit, in inches after
        # G20: a place prints up to half the last decimal off, so two of them
        # up to a whole one.
        straight = printed(self.machine.unit)
        if any(abs(a - b) > straight for a, b in zip(here[:2], bottom[:2])):
            return "a rapid that does not go straight down"
        if not bottom[2] < here[2]:
            return "a rapid that does not take the tool down"
        # The feed move after it, in the frame of its own calls.
        # Following a call only ever replaces what a machine holds: a shallow copy will do.
        then = copy.copy(self.machine)
        then.place = end
        feed = None
        for following_call in following:
            # A second inserted rapid straight down from this one, the rest of
            # an approach in two steps, is checked in its turn.
            if (following_call.startswith("STRAIGHT_TRAVERSE(") and all(
                    abs(a - b) <= straight for a, b in
                    zip(then.machine(then.end_point(following_call))[:2], bottom[:2]))):
                then.place = then.end_point(following_call)
                continue
            if MOTION.match(following_call):
                feed = following_call
                break
            then.follow(following_call)
        if feed is None or not feed.startswith("STRAIGHT_FEED("):
            return "no straight feed move after it"
        target = then.machine(then.end_point(feed))
        if any(abs(a - b) > printed(then.unit) for a, b in zip(target[:2], bottom[:2])):
            return "the feed move after it does not go straight down"
        if not target[2] < bottom[2]:
            return "it does not end above the feed move after it"
        height = (bottom[2] - then.g5x[2] - then.g92[2] - then.tool_length) / then.unit
        start = (here[2] - then.g5x[2] - then.g92[2] - then.tool_length) / then.unit
        # Places and depths alike are known only to what four decimals tell.
        near = printed(then.unit)
        fed = self.machine.fed.reached(bottom[0], bottom[1], self.machine.rotary, near,
                                       bottom[2] - self.gap * then.unit + near)
        # A height at or above the first one prints at or above it to four decimals.
        first = round(self.first, 4)
        if height < first - 1e-9:
            self.deep += 1
            if not fed:
                return "below the first height where this tool has not been fed that deep"
            # Below the first height only straight down, however moves blend.
            if self.words and start > first + 1e-9:
                return "below the first height from above it"
        if self.machine.top is not None and height * then.unit < self.machine.top - near and not fed:
            return "below where the program has fed sideways, onto no point fed that deep"
        self.machine.place = end
        return None

    def compare(self, original, rewritten):
        """Returns None when `rewritten` is `original` plus sound approaches, else the problem."""
        header = [c for c in rewritten if c.startswith('COMMENT("Tarvelin Ver')]
        self.words = any(" words" in c for c in header)
        rewritten = [c for c in rewritten if c not in header]
        i = 0
        inserted = False  # the call before was inserted
        for j, call in enumerate(rewritten):
            if i < len(original) and call == original[i]:
                self.machine.follow(call)
                i += 1
                inserted = False
                continue
            if call.startswith("SET_FEED_RATE("):
                there = original[i] if i < len(original) else "nothing"
                return f"call {j + 1}: {call}: a feed rate that differs (the program has {there})"
            problem = self.approach_problem(call, (rewritten[k] for k in range(j + 1, len(rewritten))))
            if problem:
                return f"call {j + 1}: {call}: {problem}"
            # Rapids inserted one after the other are one approach in steps.
            self.two_step += inserted
            self.approaches += not inserted
            inserted = True
        if i != len(original):
            return f"the rewrite lacks call {i + 1}: {original[i]}"
        return None


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--program", default="build/tarvelin")
    parser.add_argument("files", nargs="*")
    args, extra = parser.parse_known_args()
    settings = dict(option[2:].split("=", 1) for option in extra if "=" in option)
    gap, first = float(settings.get("gap", 0.02)), float(settings.get("first", 0.05))
    totals = {"programs": 0, "stopped early": 0, "with approaches": 0, "approaches": 0,
              "deep": 0, "two-step": 0, "failed": 0}
    for path in args.files:
        totals["programs"] += 1
        original, error = canonical_calls(path)
        with tempfile.NamedTemporaryFile(suffix=".ngc") as out:
            run = subprocess.run([args.program, "--stdout", *extra, path], stdout=out,
                                 stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
            rewritten, rewritten_error = canonical_calls(out.name)
        checker = Checker(gap, first)
        if run.returncode != 0:
            problem = f"tarvelin ended with status {run.returncode}"
        elif rewritten_error != error:
            problem = f"rs274 stopped with {rewritten_error!r} instead of {error!r}"
        else:
            problem = checker.compare(original, rewritten)
        totals["stopped early"] += error is not None
        totals["approaches"] += checker.approaches
        totals["deep"] += checker.deep
        totals["two-step"] += checker.two_step
        totals["with approaches"] += checker.approaches > 0
        note = f" (rs274 stopped early: {error})" if error else ""
        if problem:
            totals["failed"] += 1
            print(f"FAILED {path}: {problem}{note}")
        else:
            print(f"ok {path}: {checker.approaches} approaches, "
                  f"{checker.deep} below the first height, {checker.two_step} in two steps{note}")
    print(", ".join(f"{k}: {v}" for k, v in totals.items()))
    return 1 if totals["failed"] else 0


if __name__ == "__main__":
    raise SystemExit(main())
