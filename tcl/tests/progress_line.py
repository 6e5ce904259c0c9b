#!/usr/bin/env python3
"""The progress line of a blocking open, as a person at a terminal sees it.

ncdsh runs in a pseudo-terminal: interactively, an open that takes longer
than a second shows "reading FILE: ... (100%)" on standard error, cut to
the terminal's width and without escape sequences on a dumb terminal, and
erases it when the open ends; a quick open shows nothing; a script shows nothing
unless it sets ::ncd::progress, and nothing when it sets it to false.

    progress_line.py NCDSH
"""
import json
import os
import sys
import tempfile

import pexpect

NCDSH = sys.argv[1]
ERASE = "\r\x1b[K"


def design(folder, name, delay_ms):
    """A small design whose load waits `delay_ms` after reading."""
    text = {"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1",
            "top": {"name": "top", "level": 0}}
    if delay_ms:
        text["faults"] = {"load_delay_ms": delay_ms}
    path = os.path.join(folder, name)
    with open(path, "w") as out:
        json.dump(text, out)
    return path


def line_for(path):
    size = os.path.getsize(path)
    return "reading %s: %.1f of %.1f MB (100%%)" % (path, size / 1e6, size / 1e6)


def shell(args=(), term="dumb", columns=80):
    return pexpect.spawn(NCDSH, list(args), encoding="utf-8", timeout=30, dimensions=(24, columns),
                         env=dict(os.environ, TERM=term))


def dumb_erase(path):
    """How a terminal without escape sequences has the line erased."""
    return "\r%s\r" % (" " * len(line_for(path)))


def interactive(slow, quick):
    """An interactive open: the line for the slow one only, then erased,
    without escape sequences on a dumb terminal."""
    child = shell()
    child.expect_exact("% ")
    child.sendline("ncd::open_design %s; puts opened-slow" % slow)
    child.expect_exact("\r" + line_for(slow))
    child.expect_exact(dumb_erase(slow))
    assert "\x1b" not in child.before, repr(child.before)
    child.expect_exact("opened-slow")
    child.expect_exact("% ")
    child.sendline("ncd::open_design %s; puts opened-quick" % quick)
    child.expect_exact("opened-quick")
    child.expect_exact("% ")
    seen = child.before
    child.sendline("exit")
    child.expect(pexpect.EOF)
    assert "reading" not in seen, repr(seen)


def narrow(slow):
    """On a terminal narrower than the line, the line is cut to one row
    (erasing clears one row only)."""
    child = shell(term="xterm", columns=40)
    child.expect_exact("% ")
    child.sendline("ncd::open_design %s; puts opened-slow" % slow)
    child.expect_exact(ERASE + line_for(slow)[:39] + ERASE)
    child.expect_exact("opened-slow")
    child.sendline("exit")
    child.expect(pexpect.EOF)


def script(folder, slow, setting, shown):
    """A script: the line only where ::ncd::progress asks for it."""
    path = os.path.join(folder, "open.tcl")
    with open(path, "w") as out:
        if setting is not None:
            out.write("set ncd::progress %s\n" % setting)
        out.write("ncd::open_design %s\nputs done\n" % slow)
    child = shell([path])
    child.expect(pexpect.EOF)
    text = child.before
    assert text.rstrip().endswith("done"), repr(text)
    assert (line_for(slow) in text) == shown, (setting, repr(text))
    assert (dumb_erase(slow) in text) == shown, (setting, repr(text))


def main():
    with tempfile.TemporaryDirectory() as folder:
        slow = design(folder, "slow.ncd.json", 1600)
        quick = design(folder, "quick.ncd.json", 0)
        interactive(slow, quick)
        narrow(slow)
        for setting, shown in ((None, False), ("1", True), ("0", False)):
            script(folder, slow, setting, shown)
    print("progress line: 5 cases passed")


if __name__ == "__main__":
    main()
