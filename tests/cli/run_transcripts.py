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

A case folder holding a file `cupsd` gets a CUPS scheduler of its own for its
commands: its server root in the case's temporary folder (.cupsd), listening on
a Unix socket and on 127.0.0.1 at a free port, file: devices allowed, no
authentication (as root its helpers run as lp). Each line of `cupsd` is

  QUEUE PPD-FILE [default]

a queue on file:/dev/null with that PPD (a path relative to the source tree,
e.g. tests/data/cups/marked.ppd; '-' for a raw queue without one), 'default'
making it the scheduler's default; '#' starts a comment. The commands then run
with CUPS_SERVER at the socket, CUPS_SERVERROOT, HOME and XDG_RUNTIME_DIR in
the server root (no lpoptions or lock files of the machine's), LPDEST and
PRINTER unset, CUPSD_TCP=127.0.0.1:PORT (the same scheduler as a remote server)
and CUPSD_PPD, the folder where the scheduler keeps the queues' PPDs (QUEUE.ppd).
In what the commands write, the server root's path reads $CUPSD and the TCP
listener's address $CUPSD_TCP, so that the expected lines stay the same from
run to run. The scheduler is stopped and its folder removed after the case,
whatever its steps did.

Usage: run_transcripts.py CLI SOURCE-DIR CASE... [--update]
SAMPLES, PPDS and CLIDATA name resources/samples, tests/data/ppd and tests/data/cli.
With --update the expected lines are rewritten from what the commands did.
"""
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import tempfile
import time

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


class Cupsd:
    """A private scheduler with the queues a case's `cupsd` file lists."""

    def __init__(self, listing, work):
        self.root = pathlib.Path(work) / ".cupsd"
        for d in ("spool", "cache", "state", "log", "ppd", "home", "run"):
            (self.root / d).mkdir(parents=True)
        (self.root / "run").chmod(0o700)
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        if os.geteuid() == 0:
            user, group, system = "lp", "lp", "root"
        else:
            import grp
            import pwd
            user = pwd.getpwuid(os.geteuid()).pw_name
            group = system = grp.getgrgid(os.getegid()).gr_name
        values = {"@ROOT@": str(self.root), "@PORT@": str(self.port), "@USER@": user,
                  "@GROUP@": group, "@SYSTEMGROUP@": system}
        for name in ("cupsd.conf", "cups-files.conf"):
            text = (source / "tests" / "data" / "cups" / name).read_text()
            for key, value in values.items():
                text = text.replace(key, value)
            (self.root / name).write_text(text)
        self.env = dict(env, CUPS_SERVER=str(self.root / "cups.sock"), CUPS_SERVERROOT=str(self.root),
                        HOME=str(self.root / "home"), XDG_RUNTIME_DIR=str(self.root / "run"),
                        CUPSD_TCP=f"127.0.0.1:{self.port}", CUPSD_PPD=str(self.root / "ppd"))
        for name in ("LPDEST", "PRINTER"):
            self.env.pop(name, None)
        cupsd = "/usr/sbin/cupsd" if os.access("/usr/sbin/cupsd", os.X_OK) else "cupsd"
        with open(self.root / "log" / "cupsd.out", "wb") as log:
            self.process = subprocess.Popen(
                [cupsd, "-f", "-c", str(self.root / "cupsd.conf"), "-s", str(self.root / "cups-files.conf")],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        try:
            self.wait_until_running()
            for line in listing:
                words = line.split("#")[0].split()
                if not words:
                    continue
                if len(words) not in (2, 3) or words[2:] not in ([], ["default"]):
                    raise SystemExit(f"cupsd: cannot read the line {line!r}")
                queue, ppd = words[:2]
                self.admin("-p", queue, "-E", "-v", "file:/dev/null",
                           *([] if ppd == "-" else ["-P", str(source / ppd)]))
                if words[2:]:
                    self.admin("-d", queue)
        except BaseException:
            self.stop()
            raise

    def wait_until_running(self):
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and self.process.poll() is None:
            run = subprocess.run(["lpstat", "-r"], env=self.env, capture_output=True, text=True)
            if "is running" in run.stdout and "not running" not in run.stdout:
                return
            time.sleep(0.05)
        log = self.root / "log" / "error_log"
        raise SystemExit("cupsd did not start:\n" + (log.read_text() if log.exists() else "") +
                         (self.root / "log" / "cupsd.out").read_text())

    def mask(self, data):
        """`data` with the server root and the TCP listener named as in the transcript."""
        return data.replace(str(self.root).encode(), b"$CUPSD").replace(
            f"127.0.0.1:{self.port}".encode(), b"$CUPSD_TCP")

    def admin(self, *args):
        run = subprocess.run(["lpadmin", *args], env=self.env, capture_output=True, text=True)
        if run.returncode:
            raise SystemExit(f"lpadmin {' '.join(args)} failed: {run.stderr}")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


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
            if f.name not in ("transcript", "needs-root", "cupsd"):
                shutil.copy(f, work)
        cupsd = Cupsd((case / "cupsd").read_text().split("\n"), work) if (case / "cupsd").exists() else None
        try:
            for step in expected:
                run = subprocess.run(["bash", "-c", step["cmd"]], cwd=work, env=cupsd.env if cupsd else env,
                                     stdin=subprocess.DEVNULL, capture_output=True)
                actual.append(dict(step, out=text_lines(cupsd.mask(run.stdout) if cupsd else run.stdout),
                               err=text_lines(cupsd.mask(run.stderr) if cupsd else run.stderr),
                               status=run.returncode))
        finally:
            if cupsd:
                cupsd.stop()
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
