#!/usr/bin/env python3
"""Runs command-line transcripts: each case folder under tests/data/cli holds
a file `transcript` and the input files it starts from, which are copied to a
temporary folder where its commands run, one after the other, with the
tonalis-cli under test first on PATH. In a transcript:

  $ COMMAND      a shell command (bash)
  | TEXT         a line it writes to standard output ('|' alone: an empty one)
  ! TEXT         a line it writes to standard error
  ? N            its exit status (0 when not given)
  # TEXT         a comment; blank lines are ignored

A case folder holding a file `needs-root` is skipped (status 77) unless run as root.

Usage: run_transcripts.py CLI SOURCE-DIR CASE... [--update]
SAMPLES, PPDS and CLIDATA name resources/samples, tests/data/ppd and tests/data/cli.
With --update the expected lines are rewritten from what the commands did.
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

update = "--update" in sys.argv
cli, source, *cases = [a for a in sys.argv[1:] if a != "--update"]
source = pathlib.Path(source).resolve()
env = dict(os.environ, LC_ALL="C.UTF-8",
           PATH=str(pathlib.Path(cli).resolve().parent) + os.pathsep + os.environ["PATH"],
           SAMPLES=str(source / "resources" / "samples"), PPDS=str(source / "tests" / "data" / "ppd"),
           CLIDATA=str(source / "tests" / "data" / "cli"))


def steps(lines):
    """The commands of a transcript with the comments that precede them."""
    out, notes = [], []
    for line in lines:
        if line.startswith("$ "):
            out.append({"notes": notes, "cmd": line[2:], "out": [], "err": [], "status": 0})
            notes = []
        elif line.startswith("#") or not line.strip():
            notes.append(line)
        elif out and line[:1] in "|!":
            out[-1]["out" if line[0] == "|" else "err"].append(line[2:])
        elif out and line.startswith("? "):
            out[-1]["status"] = int(line[2:])
        else:
            raise SystemExit(f"cannot read the line {line!r}")
    return out, notes


def render(step):
    lines = step["notes"] + ["$ " + step["cmd"]]
    lines += [("| " + l).rstrip() if l else "|" for l in step["out"]]
    lines += [("! " + l).rstrip() for l in step["err"]]
    return lines + ([f"? {step['status']}"] if step["status"] else [])


def text_lines(data):
    text = data.decode("utf-8", "surrogateescape")
    return text.split("\n")[:-1] if text.endswith("\n") else text.split("\n") if text else []


failed = skipped = 0
for case in map(pathlib.Path, cases):
    if (case / "needs-root").exists() and os.geteuid() != 0:
        print(f"{case.name}: skipped: needs root")
        skipped += 1
        continue
    path = case / "transcript"
    expected, tail = steps(path.read_text(encoding="utf-8", errors="surrogateescape").split("\n"))
    actual = []
    with tempfile.TemporaryDirectory(prefix="tonalis-cli-") as work:
        for f in case.iterdir():
            if f.name not in ("transcript", "needs-root"):
                shutil.copy(f, work)
        for step in expected:
            run = subprocess.run(["bash", "-c", step["cmd"]], cwd=work, env=env,
                                 stdin=subprocess.DEVNULL, capture_output=True)
            actual.append(dict(step, out=text_lines(run.stdout), err=text_lines(run.stderr),
                               status=run.returncode))
    if update:
        lines = [l for s in actual for l in render(s)] + tail
        path.write_text("\n".join(lines), encoding="utf-8", errors="surrogateescape")
        continue
    for want, got in zip(expected, actual):
        if render(want) != render(got):
            failed += 1
            print(f"{case.name}: $ {want['cmd']}\n  expected:\n    " + "\n    ".join(render(want)[len(want['notes']) + 1:]) +
                  "\n  got:\n    " + "\n    ".join(render(got)[len(got['notes']) + 1:]))
            break
print(f"{len(cases) - failed - skipped} passed, {failed} failed")
sys.exit(1 if failed else 77 if skipped and skipped == len(cases) else 0)
