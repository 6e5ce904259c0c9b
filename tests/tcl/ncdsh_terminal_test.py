#!/usr/bin/env python3
"""ncdsh in a real terminal: a pseudo-terminal driven as a person types,
its output drawn on an emulated screen (pyte) that the checks read.

Checks the banner, line editing with history (Up, also across sessions
through ~/.ncdsh_history), a 64 KB line, Tab completion, Ctrl-C at the prompt and during
a running script and during a search, a command over several lines, and
Ctrl-D; then, without a terminal, --help, -c and commands on standard
input. Every wait is bounded and says what did not appear.

usage: ncdsh_terminal_test.py NCDSH DESIGN
"""
import os
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time

import pexpect
import pyte

NCDSH, DESIGN = sys.argv[1], sys.argv[2]
PROMPT = "ncdsh% "
UP, TAB, CTRL_C, CTRL_D, CTRL_L = "\x1b[A", "\t", "\x03", "\x04", "\x0c"
ROWS, COLUMNS = 40, 160
LIMIT = 20  # seconds any one thing may take to appear


class Terminal:
    def __init__(self, home):
        env = dict(os.environ, HOME=home, TERM="xterm", LC_ALL="C.UTF-8")
        self.child = pexpect.spawn(NCDSH, env=env, encoding="utf-8", dimensions=(ROWS, COLUMNS))
        self.screen = pyte.Screen(COLUMNS, ROWS)
        self.stream = pyte.Stream(self.screen)

    def lines(self):
        return [line.rstrip() for line in self.screen.display]

    def cursor_line(self):
        return self.screen.display[self.screen.cursor.y].rstrip()

    def pump(self, seconds):
        """Draws what the shell writes for `seconds` (or until it ends)."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                self.stream.feed(self.child.read_nonblocking(4096, timeout=0.05))
            except pexpect.TIMEOUT:
                pass
            except pexpect.EOF:
                return False
        return True

    def wait(self, check, what):
        """Waits until check(self) holds; fails naming `what` otherwise."""
        end = time.monotonic() + LIMIT
        while not check(self):
            if time.monotonic() > end or not self.pump(0.1):
                print("\n".join(line for line in self.lines() if line))
                sys.exit(f"FAILED: {what} did not happen within {LIMIT} s")

    def type(self, text):
        self.child.send(text)

    def clear(self):
        """Ctrl-L: the line being typed, alone at the top of the screen."""
        self.type(CTRL_L)
        self.wait(lambda t: t.screen.cursor.y == 0, "Ctrl-L clearing the screen")

    def resize(self, columns):
        self.child.setwinsize(ROWS, columns)
        self.screen.resize(ROWS, columns)

    def paste(self, text, chunk=512):
        """Types a long text in pieces, drawing the echo between them; fails
        when the shell stops reading."""
        for start in range(0, len(text), chunk):
            if not select.select([], [self.child.child_fd], [], LIMIT)[1] or not self.pump(0.01):
                sys.exit(f"FAILED: the shell stopped reading after {start} characters pasted")
            self.type(text[start:start + chunk])

    def run(self, line, answer, what):
        """Types a command; waits for `answer` as a line of its own, then the prompt."""
        if self.screen.cursor.y > ROWS - 10:
            self.clear()
        before = self.screen.cursor.y
        self.type(line + "\r")
        self.wait(lambda t: answer in t.lines()[before + 1:] and t.cursor_line() == PROMPT.rstrip(),
                  f"{what} (answer {answer!r}, then the prompt)")


def at_prompt_with(text):
    return lambda t: t.cursor_line() == (PROMPT + text).rstrip()


def main():
    home = tempfile.mkdtemp()
    t = Terminal(home)
    t.wait(lambda t: any("help" in line for line in t.lines()) and t.cursor_line() == PROMPT.rstrip(),
           "the banner naming help, then the prompt")
    t.run(f"open_design {DESIGN}", "ncd1", "open_design, imported into the global namespace")
    t.run("set x 41", "41", "a plain Tcl command")
    t.run("incr x", "42", "incr")
    t.type(UP)
    t.wait(at_prompt_with("incr x"), "Up recalling incr x")
    t.run("", "43", "Enter running the recalled command")
    # Tab: a command, an option, a path one level at a time, a property.
    t.type("llength [get_bl" + TAB)
    t.wait(at_prompt_with("llength [get_blocks"), "Tab completing get_bl")
    t.type("-hi" + TAB)
    t.wait(at_prompt_with("llength [get_blocks -hierarchical"), "Tab completing -hi")
    t.type("u_c" + TAB)
    t.wait(at_prompt_with("llength [get_blocks -hierarchical u_cnt"), "Tab completing u_c")
    t.type("/c" + TAB + TAB)
    t.wait(lambda t: any("u_cnt/c0" in l and "u_cnt/c1" in l for l in t.lines()),
           "the second Tab listing u_cnt/c0 and u_cnt/c1")
    t.type("1")
    t.run("]", "1", "get_blocks -hierarchical u_cnt/c1 answering one block")
    t.type("get_property lev" + TAB)
    t.wait(at_prompt_with("get_property level"), "Tab completing a property name")
    t.run("u_cnt/c0", "Comp", "get_property level u_cnt/c0")
    # The choices of a word on the first row of a line of two go below the
    # whole line.
    t.clear()
    t.type("get_blocks u_cnt/c " + "x" * 200 + "\x01" + "\x1b[C" * len("get_blocks u_cnt/c") + TAB + TAB)
    t.wait(lambda t: "u_cnt/c0  u_cnt/c1" in t.lines(), "the choices listed on rows of their own")
    t.type(CTRL_C)
    # Tab after non-ASCII text; a file name written as Tcl reads it.
    t.type("set x üüüü; get_bl" + TAB)
    t.wait(at_prompt_with("set x üüüü; get_blocks"), "Tab completing after non-ASCII text")
    t.type(CTRL_C)
    open(os.path.join(home, "d$x.ncd.json"), "w").close()
    t.type(f"file exists {home}/d" + TAB)
    t.wait(at_prompt_with(f"file exists {home}/d\\$x.ncd.json"), "Tab escaping a file name")
    t.run("", "1", "the escaped file name naming the file")
    # Ctrl-C at the prompt drops the line; the shell goes on.
    t.type("puts dropped")
    t.wait(at_prompt_with("puts dropped"), "the line typed")
    t.type(CTRL_C)
    t.wait(lambda t: at_prompt_with("")(t) and t.lines()[t.screen.cursor.y - 1] == PROMPT + "puts dropped^C",
           "the line kept on the screen with ^C, and a fresh prompt below")
    t.run("puts kept", "kept", "the command after Ctrl-C")
    # ... a line over two rows, with the cursor on its first: the fresh
    # prompt goes below the whole line, not over its second row.
    long = "puts " + "d" * 200
    t.type(long + "\x01")
    t.wait(lambda t: t.screen.cursor.x == len(PROMPT)
           and "".join(t.lines()[t.screen.cursor.y:t.screen.cursor.y + 2]) == PROMPT + long,
           "Ctrl-A on a line of two rows")
    t.type(CTRL_C)
    t.wait(lambda t: at_prompt_with("")(t) and t.lines()[t.screen.cursor.y - 1].endswith("d^C"),
           "the ^C after the end of a line of two rows")
    t.run("puts kept", "kept", "the command after Ctrl-C on a line of two rows")
    # ... in a search of the history (Ctrl-R), found or not: the search ends
    # at once, and what is typed next is a command again.
    for search in ("kep", "zzzz"):
        t.type("\x12" + search)
        t.wait(lambda t: any(search in line for line in t.lines()[t.screen.cursor.y:]),
               f"Ctrl-R searching {search}")
        t.type(CTRL_C)
        t.wait(at_prompt_with(""), f"Ctrl-C ending the search for {search}")
        t.run("puts alive", "alive", f"the command after Ctrl-C ended the search for {search}")
    if "dropped" in t.lines():
        sys.exit("FAILED: the line dropped by Ctrl-C was run")
    # ... also while a slow Tab runs (the first on a large design): the
    # Tab stops and the line goes, not joined to the next one typed.
    t.run("rename ncd::complete _complete; proc ncd::complete args {"
          "while 1 {}; _complete {*}$args}; puts slow", "slow", "a slow completion")
    t.type("puts tabbed" + TAB)
    t.pump(0.3)
    t.type(CTRL_C)
    t.wait(lambda t: at_prompt_with("")(t) and t.lines()[t.screen.cursor.y - 1] == PROMPT + "puts tabbed^C",
           "Ctrl-C during a Tab dropping the line")
    t.run("rename ncd::complete {}; rename _complete ncd::complete; puts alone", "alone",
          "the command typed after a Tab stopped by Ctrl-C")
    # One Ctrl-C stops a script that runs on and on, also one made of short
    # commands of the package (each may end before it sees the stop).
    # The last one while the line is still being recorded in the history,
    # which is made slow for it: Tcl ignores a failure there, the stop too.
    slow = "proc history {args} {after 1500; _history {*}$args}"
    for loop in ("while 1 {}", "while 1 {get_property level u_cnt/c0}", "while 1 {incr i}"):
        if "incr" in loop:
            t.run(f"rename history _history; {slow}; puts slow", "slow", "a slow history")
        t.type(loop + "\r")
        t.wait(lambda t: t.lines()[t.screen.cursor.y - 1] == PROMPT + loop and not t.cursor_line(),
               f"{loop} starting")
        t.pump(0.2)
        t.type(CTRL_C)
        t.wait(lambda t: t.lines()[t.screen.cursor.y - 1].endswith(("interrupted", "command stopped"))
               and t.cursor_line() == PROMPT.rstrip(), f"one Ctrl-C stopping {loop}")
    t.run("rename history {}; rename _history history; puts restored", "restored", "the history")
    # A Ctrl-C while a command's long answer is written (the terminal not
    # reading it) is for that command: no second prompt follows it.
    t.type("string repeat x 300000\r")
    time.sleep(0.5)
    t.type(CTRL_C)
    t.wait(lambda t: t.cursor_line() == PROMPT.rstrip() and t.lines()[t.screen.cursor.y - 1].endswith("x"),
           "the long answer written, then the prompt")
    t.pump(0.5)
    if t.cursor_line() != PROMPT.rstrip() or not t.lines()[t.screen.cursor.y - 1].endswith("x"):
        sys.exit("FAILED: a Ctrl-C while an answer was written dropped the next prompt's line")
    # ... and one the event loop runs while the prompt waits, which fails as
    # a background error; the prompt reads on.
    t.run("after 100 {while 1 {}}", "after#0", "a callback scheduled")
    t.pump(0.3)
    t.type(CTRL_C)
    t.wait(lambda t: '    ("after" script)' in t.lines(), "Ctrl-C stopping a callback")
    t.run("puts alive", "alive", "the prompt after the stopped callback")
    # What a callback writes while a line is typed goes above the prompt,
    # which is drawn again with the line.
    t.run("after 300 {puts tick}", "after#1", "a callback that writes")
    t.type("puts ab")
    t.wait(lambda t: t.lines()[t.screen.cursor.y - 1] == "tick" and at_prompt_with("puts ab")(t),
           "the callback's output above the prompt and the line typed")
    t.run("c", "abc", "the line typed across the callback's output")
    # Output that does not end its line, from a command or a callback: the
    # prompt starts a row of its own, and the line is edited where it shows.
    LEFT = "\x1b[D"
    for script in ("puts -nonewline part", "after 200 {puts -nonewline part}"):
        t.type(script + "\r")
        t.wait(lambda t: t.lines()[t.screen.cursor.y - 1].endswith("part"), f"{script} writing")
        t.type("puts abc" + LEFT + LEFT + "X")
        t.wait(at_prompt_with("puts aXbc"), f"the line edited after {script}")
        t.run("", "aXbc", f"the line edited after {script} running")
    # ... and a script that waits for an event that never comes.
    t.type("vwait forever\r")
    t.wait(lambda t: t.lines()[t.screen.cursor.y - 1] == PROMPT + "vwait forever" and not t.cursor_line(),
           "vwait starting")
    t.pump(0.2)
    t.type(CTRL_C)
    t.wait(lambda t: t.lines()[t.screen.cursor.y - 1].endswith("interrupted") and t.cursor_line() == PROMPT.rstrip(),
           "Ctrl-C stopping vwait")
    t.run("puts after", "after", "a command after the stopped vwait")
    # Ctrl-C stops a command of the package that would run for hours (a
    # match with back-references on a long name).
    slow = os.path.join(home, "long.ncd.json")
    with open(slow, "w") as f:
        f.write('{"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1", "top": {"name": "t",'
                ' "level": 0, "blocks": [{"name": "%sb", "level": 3}]}}' % ("a" * 41))
    t.run(f"set long [open_design {slow}]", "ncd2", "opening the design with a long name")
    t.type("get_blocks -regexp {(.*)(.*)(.*)(.*)(.*)(.*)(.*)(.*)\\1\\2\\3\\4\\5\\6\\7\\8b}\r")
    t.wait(lambda t: t.lines()[t.screen.cursor.y - 1].startswith(PROMPT + "get_blocks") and not t.cursor_line(),
           "the slow search starting")
    t.pump(0.3)
    t.type(CTRL_C)
    t.wait(lambda t: any(l.endswith("command stopped") for l in t.lines()) and t.cursor_line() == PROMPT.rstrip(),
           "Ctrl-C stopping the slow search with 'command stopped'")
    t.run("close_design $long; llength [get_blocks -regexp {u_cnt/c(0)\\1?}]", "1", "the shell going on after the stop")
    # A pasted line of 64 KB, Tab pressed inside it, then recalled: libedit's
    # readline emulation wrote through a freed copy of such a line.
    t.paste('string length "%s' % ("x" * 32768) + TAB + TAB + '%s"\r' % ("x" * 32768))
    t.wait(lambda t: "65536" in t.lines() and t.cursor_line() == PROMPT.rstrip(), "the length of a 64 KB line")
    t.screen.reset()
    t.type(UP + "\r")
    t.wait(lambda t: "65536" in t.lines() and t.cursor_line() == PROMPT.rstrip(), "the 64 KB line recalled")
    t.clear()
    # The terminal narrowed while a line is edited: the line is drawn again
    # for the new width.
    text = "puts " + "a" * 100 + "b" * 40
    t.type(text)
    t.wait(at_prompt_with(text), "a line of 147 characters typed")
    t.resize(80)
    t.pump(0.5)
    t.type("c")
    t.wait(lambda t: "".join(t.lines()[:2]) == PROMPT + text + "c", "the line drawn again for 80 columns")
    t.type(CTRL_C)
    t.resize(COLUMNS)
    t.clear()
    # Stopped (Ctrl-Z) and continued (fg): the job's shell gives the terminal
    # back as it keeps it (echoing, a line at a time); the line is drawn and
    # edited again.
    t.type("puts ab")
    t.wait(at_prompt_with("puts ab"), "the line typed before Ctrl-Z")
    os.kill(t.child.pid, signal.SIGSTOP)
    t.wait(lambda t: open(f"/proc/{t.child.pid}/stat").read().split(")")[1].split()[0] == "T",
           "the shell stopping")
    modes = termios.tcgetattr(t.child.child_fd)
    modes[3] |= termios.ECHO | termios.ICANON
    termios.tcsetattr(t.child.child_fd, termios.TCSANOW, modes)
    os.kill(t.child.pid, signal.SIGCONT)
    t.pump(0.3)
    t.type("\x1b[DX")
    t.wait(at_prompt_with("puts aXb"), "the line edited after fg")
    t.run("", "aXb", "the line edited after fg running")
    # A command over several lines.
    t.type("proc five {} {\r")
    t.wait(lambda t: t.cursor_line() == ">", "the continuation prompt")
    t.type("return 5 }\r")
    t.run("five", "5", "the proc defined over two lines")
    # Ctrl-D leaves.
    t.type(CTRL_D)
    t.child.expect(pexpect.EOF, timeout=LIMIT)
    t.child.close()
    if t.child.exitstatus != 0:
        sys.exit(f"FAILED: the shell ended with status {t.child.exitstatus}")
    # The history outlives the session: the last command typed is five.
    t = Terminal(home)
    t.wait(at_prompt_with(""), "the prompt of a second session")
    t.type(UP)
    t.wait(at_prompt_with("five"), "Up recalling five from the history file")
    t.type(CTRL_C)
    t.wait(at_prompt_with(""), "Ctrl-C clearing the recalled line")
    t.type("exit\r")
    t.child.expect(pexpect.EOF, timeout=LIMIT)
    dumb_terminal()
    hang_up()
    without_terminal()
    print("PASSED")


def dumb_terminal():
    """TERM=dumb: a callback's output starts a line of its own, without
    escape sequences."""
    child = pexpect.spawn(NCDSH, env=dict(os.environ, HOME=tempfile.mkdtemp(), TERM="dumb"),
                          encoding="utf-8", timeout=LIMIT)
    child.expect_exact(PROMPT)
    child.send("after 200 {puts tick}\r")
    child.expect_exact("after#0")
    child.expect_exact("\ntick")
    if "\x1b[K" in child.before:
        sys.exit(f"FAILED: escape sequences written to a dumb terminal: {child.before!r}")
    child.send("exit\r")
    child.expect(pexpect.EOF)


def hang_up():
    """The terminal closed under a shell that ignores SIGHUP: it leaves,
    rather than reading the dead terminal for ever."""
    child = pexpect.spawn(NCDSH, env=dict(os.environ, HOME=tempfile.mkdtemp(), TERM="xterm"),
                          encoding="utf-8", timeout=LIMIT,
                          preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
    child.expect_exact(PROMPT)
    os.close(child.child_fd)
    end = time.monotonic() + LIMIT
    while os.waitpid(child.pid, os.WNOHANG) == (0, 0):
        if time.monotonic() > end:
            os.kill(child.pid, signal.SIGKILL)
            sys.exit("FAILED: the shell stayed on after its terminal closed")
        time.sleep(0.1)


def without_terminal():
    """--help, -c and standard input from a pipe, as scripts use them."""
    def run(args, stdin=""):
        done = subprocess.run([NCDSH] + args, input=stdin, capture_output=True, text=True, timeout=LIMIT)
        return done.returncode, done.stdout
    cases = [
        (["--help"], "", 0, lambda out: out.startswith("usage: ncdsh")),
        (["-c", "namespace origin get_blocks"], "", 0, lambda out: out == "::ncd::get_blocks\n"),
        (["-c", "puts $argv; exit 3", "a", "b"], "", 3, lambda out: out == "a b\n"),
        ([], "puts [namespace origin help]\n", 0, lambda out: out == "::ncd::help\n"),
    ]
    for args, stdin, status, good in cases:
        code, out = run(args, stdin)
        if code != status or not good(out):
            sys.exit(f"FAILED: ncdsh {args} with {stdin!r} on standard input answered {code} {out!r}")


main()
