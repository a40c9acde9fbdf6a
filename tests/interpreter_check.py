#!/usr/bin/env python3
"""Checks with LinuxCNC's rs274 interpreter what rewritten programs make a machine do.

For each program it runs `tarvelin --stdout <options> <program>` and has rs274 turn
both the program and the rewritten one into canonical machine calls. The rewritten
calls must be the program's own calls, in order, plus inserted rapid moves that go
straight down (only Z changes) and end above the feed move that follows them, which
itself goes straight down from there. An inserted rapid that ends below the first
height must end, with the gap to spare, above a point where the same tool has been
fed before: the end point of an earlier feed move at the same X and Y (to 0.0001)
whose Z is at or below the rapid's Z minus the gap.

Usage: interpreter_check.py [--program=PATH] [TARVELIN OPTION...] FILE...
Every other option goes to tarvelin (for example --words --gap=0.1). Exit status 1
if any program breaks the rules; where rs274 stops on an error, the calls before it are compared and the
rewrite must stop on the same error.
"""
import argparse
import atexit
import os
import re
import subprocess
import sys
import tempfile

CALL = re.compile(r"^\s*\d+ N\S*\s+(.*)$")
NUMBER = r"(-?\d+(?:\.\d+)?)"
MOTION = re.compile(r"^(STRAIGHT_TRAVERSE|STRAIGHT_FEED|ARC_FEED|STRAIGHT_PROBE|RIGID_TAP)\((.*)\)$")
TOLERANCE = 1e-4


def tool_table():
    """Returns the path of a tool table that holds tools 1 to 999, so that tool
    changes do not stop rs274."""
    table = tempfile.NamedTemporaryFile("w", suffix=".tbl", delete=False)
    table.writelines(f"T{n} P{n} D3\n" for n in range(1, 1000))
    table.close()
    return table.name


TOOLS = tool_table()
atexit.register(os.remove, TOOLS)


def canonical_calls(path):
    """Returns rs274's canonical calls for the program at `path`, and the error
    that stopped it (None when it ran to its end)."""
    run = subprocess.run(["rs274", "-t", TOOLS, "-g", path], capture_output=True, text=True,
                         errors="replace")
    calls = []
    for line in run.stdout.splitlines():
        match = CALL.match(line)
        if match:
            calls.append(match.group(1))
    errors = [line for line in run.stderr.splitlines() if line.strip() != "executing"]
    return calls, (errors[0] if errors else "error") if run.returncode != 0 else None


def end_point(call, plane, position):
    """Returns where a motion call leaves the tool: a list of axis values."""
    name, args = MOTION.match(call).groups()
    values = [float(v) for v in re.findall(NUMBER, args)]
    if name != "ARC_FEED":
        return values[: len(position)] if name != "RIGID_TAP" else values[:3] + position[3:]
    first, second, axis = values[0], values[1], values[5]
    end = list(position)
    rest = values[6:]
    if plane == "XY":
        end[0], end[1], end[2] = first, second, axis
    elif plane == "XZ":
        end[2], end[0], end[1] = first, second, axis
    else:  # YZ
        end[1], end[2], end[0] = first, second, axis
    end[3 : 3 + len(rest)] = rest[: len(end) - 3]
    return end


class Checker:
    """Walks the calls of a program and of its rewrite side by side."""

    def __init__(self, gap, first):
        self.gap, self.first = gap, first
        self.position = [0.0] * 9
        self.plane = "XY"
        self.fed = []  # feed end points (x, y, z) since the last tool change
        self.approaches = 0
        self.deep = 0

    def follow(self, call):
        """Updates the tool's place, the plane and the fed points for an original call."""
        if call.startswith("SELECT_PLANE("):
            self.plane = call[len("SELECT_PLANE(CANON_PLANE_") :].rstrip(")")
        elif call.startswith("CHANGE_TOOL("):
            self.fed = []
        elif MOTION.match(call):
            end = end_point(call, self.plane, self.position)
            self.position = end + self.position[len(end) :]
            if call.startswith(("STRAIGHT_FEED", "ARC_FEED")):
                self.fed.append(tuple(self.position[:3]))

    def approach_problem(self, call, following):
        """Returns what is wrong with an inserted call, or None for a sound approach."""
        if not call.startswith("STRAIGHT_TRAVERSE("):
            return "not a rapid move"
        end = end_point(call, self.plane, self.position)
        if any(abs(a - b) > TOLERANCE for i, (a, b) in enumerate(zip(end, self.position)) if i != 2):
            return "a rapid that does not go straight along Z"
        height = end[2]
        feed = next((c for c in following if MOTION.match(c)), None)
        if feed is None or not feed.startswith("STRAIGHT_FEED("):
            return "no straight feed move after it"
        target = end_point(feed, self.plane, end)
        if any(abs(a - b) > TOLERANCE for i, (a, b) in enumerate(zip(target, end)) if i != 2):
            return "the feed move after it does not go straight down"
        if not target[2] < height:
            return "it does not end above the feed move after it"
        self.approaches += 1
        if height < self.first - 1e-9:
            self.deep += 1
            x, y = end[0], end[1]
            if not any(abs(px - x) <= TOLERANCE and abs(py - y) <= TOLERANCE
                       and pz <= height - self.gap + 1e-6 for px, py, pz in self.fed):
                return "below the first height where this tool has not been fed that deep"
        self.position = end + self.position[len(end) :]
        return None

    def compare(self, original, rewritten):
        """Returns None when `rewritten` is `original` plus sound approaches, else the problem."""
        rewritten = [c for c in rewritten if not c.startswith('COMMENT("Tarvelin Ver')]
        i = 0
        for j, call in enumerate(rewritten):
            if i < len(original) and call == original[i]:
                self.follow(call)
                i += 1
                continue
            problem = self.approach_problem(call, rewritten[j + 1 :])
            if problem:
                return f"call {j + 1}: {call}: {problem}"
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
              "deep": 0, "failed": 0}
    for path in args.files:
        totals["programs"] += 1
        original, error = canonical_calls(path)
        with tempfile.NamedTemporaryFile(suffix=".ngc") as out:
            run = subprocess.run([args.program, "--stdout", *extra, path], stdout=out,
                                 stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
            rewritten, rewrittenError = canonical_calls(out.name)
        checker = Checker(gap, first)
        if run.returncode != 0:
            problem = f"tarvelin ended with status {run.returncode}"
        elif rewrittenError != error:
            problem = f"rs274 stopped with {rewrittenError!r} instead of {error!r}"
        else:
            problem = checker.compare(original, rewritten)
        totals["stopped early"] += error is not None
        totals["approaches"] += checker.approaches
        totals["deep"] += checker.deep
        totals["with approaches"] += checker.approaches > 0
        note = f" (rs274 stopped early: {error})" if error else ""
        if problem:
            totals["failed"] += 1
            print(f"FAILED {path}: {problem}{note}")
        else:
            print(f"ok {path}: {checker.approaches} approaches, "
                  f"{checker.deep} below the first height{note}")
    print(", ".join(f"{k}: {v}" for k, v in totals.items()))
    return 1 if totals["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
