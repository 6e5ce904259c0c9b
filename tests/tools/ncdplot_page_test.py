#!/usr/bin/python3
"""The placement page in a real browser: ncdplot --html writes it, headless
Chromium opens it (the page's script runs whole before the load event,
after which Chromium dumps the DOM) with the address fragment that types a glob into the
search box, moves the mouse over a comp and clicks one (see
tools/ncdplot/NcdPlot_Page.cpp), and the DOM it then dumps must show the
counter of highlighted blocks and nets and the properties in the tooltip.
Names that hold markup stay text, and the page asks for nothing.

    ncdplot_page_test.py NCDPLOT EXAMPLES_DIR [--figures]

--figures prints the filler design's page size and load time. Exits 77
(skipped) when Chromium is missing.
"""
import html.parser
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--window-size=1200,800"]


class Dom(html.parser.HTMLParser):
    """The text of the elements with an id, the number of script elements,
    and the attributes of <body>."""

    def __init__(self):
        super().__init__()
        self.text, self.open, self.scripts, self.body = {}, [], 0, {}

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "script":
            self.scripts += 1
        if tag == "body":
            self.body = attrs
        if tag in ("br", "input", "meta", "img"):
            return
        self.open.append(attrs.get("id"))
        if attrs.get("id"):
            self.text.setdefault(attrs["id"], "")

    def handle_endtag(self, tag):
        if tag not in ("br", "input", "meta", "img") and self.open:
            self.open.pop()

    def handle_data(self, data):
        for element in self.open:
            if element:
                self.text[element] += data


def run_page(page, fragment, work):
    """The DOM after the page's script has run with `fragment`, and the
    browser's time for it."""
    profile = tempfile.mkdtemp(dir=work)
    url = "file://" + page + "#" + urllib.parse.urlencode(fragment)
    start = time.monotonic()
    out = subprocess.run([CHROMIUM, *FLAGS, "--user-data-dir=" + profile, "--dump-dom", url],
                         capture_output=True, text=True, timeout=180, check=False)
    seconds = time.monotonic() - start
    dom = Dom()
    dom.feed(out.stdout)
    return dom, out.stdout, seconds


def plot(ncdplot, design, page, *extra):
    subprocess.run([ncdplot, "--html", *extra, "-o", page, design], check=True)


FAILURES = []


def expect(what, got, wanted):
    if got != wanted:
        FAILURES.append("%s: got %r, wanted %r" % (what, got, wanted))


def test_counter(ncdplot, examples, work):
    page = os.path.join(work, "counter.html")
    plot(ncdplot, os.path.join(examples, "ice40", "counter.ncd.json.gz"), page)
    # glob, the counter's text: the comps and nets among the answers of
    # get_blocks and get_nets (-hierarchical for a glob of one level)
    cases = [
        ("u_cnt/*", "8 blocks, 6 nets"),  # nets by their full names
        ("count[*]", "0 blocks, 8 nets"),
        ("*clk*", "2 blocks, 3 nets"),
        ("led[?]", "5 blocks, 5 nets"),
        ("nothing*", "0 blocks, 0 nets"),
        ("u_cnt*", "0 blocks, 6 nets"),  # * stays within a level
        ("u_cnt/count\\_SB_LUT4_I3_LC", "1 blocks, 0 nets"),  # a backslash quotes
        ("u_cnt\\/c*", "8 blocks, 0 nets"),
        ("count\\[0\\]", "0 blocks, 1 nets"),
    ]
    hover = "u_cnt/count_SB_LUT4_I3_LC"
    for glob, counted in cases:
        dom, _, _ = run_page(page, {"search": glob, "hover": hover}, work)
        expect("ready after %s" % glob, dom.body.get("data-ready"), "1")
        expect("count for %s" % glob, dom.text.get("count"), counted)
    tip = dom.text.get("tip", "")
    for shown in (hover, "ICESTORM_LC", "X12/Y16/lc5", "u_cnt", "5 pins", "SR", "rst$SB_IO_IN_$glb_sr",
                  "0.462 ns", "CLK", "clk$SB_IO_IN_$glb_clk", "0.308 ns"):
        if shown not in tip:
            FAILURES.append("the hover's text lacks %r: %r" % (shown, tip[:300]))
    # The legend names the colours the comps show: IOBs are white whatever
    # their module or type (SB_IO), and have a line of their own.
    for colour, legend in (("module", "u_preu_cntcomps in no moduleIOB"),
                           ("type", "ICESTORM_LCSB_GBIOB")):
        dom, _, _ = run_page(page, {"colour": colour}, work)
        expect("the legend by %s" % colour, dom.text.get("legend", "").split("fully routed")[0], legend)
    # A click keeps a net's properties in the side panel; the comps it loads
    # are no fanout (the design's Fanout of count[0] counts 4 terminal loads).
    dom, _, _ = run_page(page, {"select": "count[0]"}, work)
    info = dom.text.get("info", "")
    if "fanout" in info:
        FAILURES.append("the selected net's text calls its loaded comps a fanout: %r" % info[:300])
    for shown in ("net count[0]", "fully routed", "loads3 placed comps", "u_cnt/count_SB_LUT4_I3_LC"):
        if shown not in info:
            FAILURES.append("the selected net's text lacks %r: %r" % (shown, info[:300]))


def test_demo(ncdplot, examples, work):
    """A comp of a hard macro is no comp of the top block: it is in no module."""
    page = os.path.join(work, "demo.html")
    plot(ncdplot, os.path.join(examples, "demo.ncd.json"), page)
    for hover, module in (("hm0/c0", "module(none)"), ("u_cnt/c0", "moduleu_cnt")):
        dom, _, _ = run_page(page, {"hover": hover}, work)
        tip = dom.text.get("tip", "")
        if not tip.startswith(hover) or module not in tip:
            FAILURES.append("the hover over %s lacks %r: %r" % (hover, module, tip[:200]))
    # A comp with more pins than the table shows says so.
    with open(os.path.join(examples, "demo.ncd.json"), encoding="utf-8") as f:
        design = json.load(f)
    comp = next(c for c in next(b for b in design["top"]["blocks"] if b["name"] == "u_cnt")["blocks"]
                if c["name"] == "c0")
    comp["pins"] += [{"name": "P%d" % i} for i in range(70)]
    wide = os.path.join(work, "wide.ncd.json")
    with open(wide, "w", encoding="utf-8") as f:
        json.dump(design, f)
    plot(ncdplot, wide, os.path.join(work, "wide.html"))
    wide_dom, _, _ = run_page(os.path.join(work, "wide.html"), {"hover": "u_cnt/c0"}, work)
    tip = wide_dom.text.get("tip", "")
    if "73 pins (the first 64 shown)" not in tip or "P60" not in tip or "P61" in tip:
        FAILURES.append("the hover over a comp of 73 pins does not say it shows 64: %r" % tip[:200])
    if "top block" in dom.text.get("legend", ""):
        FAILURES.append("the legend calls the comps in no module the top block's: %r" % dom.text.get("legend"))


def test_markup_stays_text(ncdplot, work):
    evil = '</script><script>document.title="owned"</script><img src=x onerror=alert(1)>'
    block = evil.replace("/", "|")  # a block name holds no "/"

    def quoted(text):
        return text.replace("\\", "\\\\").replace('"', '\\"')
    design = os.path.join(work, "evil.ncd.json")
    with open(design, "w", encoding="utf-8") as f:
        f.write('{"format": "ncd-json", "version": 1, "part": "p&<>", "design": {"name": "%s"}, '
                '"device": {"cell_types": [{"name": "T"}], "cells": [{"name": "SLICE_X1Y1", "type": "T"}]}, '
                '"top": {"name": "t", "level": 0, "blocks": [{"name": "%s\\u2028x", "type": "T", '
                '"level": 3, "site": "SLICE_X1Y1"}]}}' % (quoted(evil), quoted(block)))
    page = os.path.join(work, "evil.html")
    plot(ncdplot, design, page)
    dom, text, _ = run_page(page, {"search": "*script*", "hover": block + "\u2028x"}, work)
    expect("scripts in the page", dom.scripts, 2)
    expect("count of the marked-up name", dom.text.get("count"), "1 blocks, 0 nets")
    expect("title", dom.text.get("title"), evil + " on p&<>")
    if block + "\u2028x" not in dom.text.get("tip", ""):
        FAILURES.append("the hover does not show the marked-up name as text: %r" % dom.text.get("tip"))
    if "owned" in dom.text.get("title", "").replace(evil, "") or text.count("<img") != 0:
        FAILURES.append("markup from the design ran or became elements")


def test_no_requests(page_text):
    for pattern in (r"\bsrc=\"http", r"\bhref=\"http", r"fetch\(", r"XMLHttpRequest", r"@import"):
        if re.search(pattern, page_text):
            FAILURES.append("the page may ask the network: %s" % pattern)
    if "default-src 'none'" not in page_text:
        FAILURES.append("the page's policy allows requests")


def test_filler(ncdplot, examples, work, figures):
    page = os.path.join(work, "fill.html")
    plot(ncdplot, os.path.join(examples, "ice40", "fill.ncd.json.gz"), page)
    dom, _, seconds = run_page(page, {"search": "g[3].u_bank/g[7].u_lane/*", "hover": "u_ram/mem.0.0_RAM"},
                               work)
    expect("the filler's count of a lane's comps", dom.text.get("count"), "77 blocks, 73 nets")
    dom2, _, _ = run_page(page, {"search": "g[3].u_bank.g[7].u_lane*"}, work)
    expect("the filler's count of a lane's nets", dom2.text.get("count"), "0 blocks, 113 nets")
    if "SB_RAM40_4K" not in dom.text.get("tip", "") and "ICESTORM_RAM" not in dom.text.get("tip", ""):
        FAILURES.append("the filler's hover shows no RAM: %r" % dom.text.get("tip", "")[:200])
    with open(page, encoding="utf-8") as f:
        test_no_requests(f.read())
    # Fewer objects than the design has: the page says what it left out.
    small = os.path.join(work, "fill-small.html")
    plot(ncdplot, os.path.join(examples, "ice40", "fill.ncd.json.gz"), small, "--max-objects", "1000")
    dom, _, _ = run_page(small, {}, work)
    expect("what the page leaves out", dom.text.get("note"),
           "left out: 5802 of 6802 placed comps and 470 nets (at most 1000 of each)")
    if figures:
        print("filler page: %d bytes; the page loaded, drew and searched %s ms after its navigation "
              "began; %.2f s with Chromium's start" % (os.path.getsize(page), dom.body.get("data-load-ms"),
                                                       seconds))


def main():
    if not CHROMIUM:
        print("chromium is missing (tools/install-deps.sh installs it): skipped")
        return 77
    ncdplot, examples = sys.argv[1], sys.argv[2]
    figures = "--figures" in sys.argv
    work = tempfile.mkdtemp(prefix="ncdplot_page_")
    try:
        test_counter(ncdplot, examples, work)
        test_demo(ncdplot, examples, work)
        test_markup_stays_text(ncdplot, work)
        test_filler(ncdplot, examples, work, figures)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in FAILURES:
        print("FAILED:", failure)
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


sys.exit(main())
