// The placement page around its data: markup, style and script in one
// file. The script draws on two canvases (tiles and comps below, nets and
// the hovered and selected objects above), so that hovering redraws only
// the upper one. Tests drive it through the address's fragment:
// "#colour=type&search=GLOB&hover=PATH&select=NAME" picks the colouring,
// types the glob into the search box, moves the mouse over a comp and
// clicks a comp or net, as a person would.
#include "NcdPlot_Html.h"

namespace NcdPlot {

const char* const kPageHead = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)PAGE";

const char* const kPageStyle = R"PAGE(</title>
<style>
html,body{margin:0;height:100%;font:13px sans-serif;color:#222}
body{display:flex;flex-direction:column}
header{padding:6px 10px;border-bottom:1px solid #ccc;display:flex;flex-wrap:wrap;gap:10px;align-items:center}
header h1{font-size:15px;margin:0}
#note{color:#a33}
main{flex:1;display:flex;min-height:0}
#stage{flex:1;position:relative;overflow:hidden;background:#fafafa}
#stage canvas{position:absolute;left:0;top:0}
#upper{cursor:grab}
#side{width:360px;overflow:auto;border-left:1px solid #ccc;padding:6px 10px}
#tip{position:absolute;pointer-events:none;background:#fffff0;border:1px solid #888;padding:4px 6px;
  max-width:420px;display:none;box-shadow:2px 2px 4px #0003;z-index:2}
table{border-collapse:collapse}td,th{padding:1px 6px 1px 0;text-align:left;vertical-align:top;white-space:nowrap}
td.net{white-space:normal;word-break:break-all}
th{font-weight:600}.legend span{display:inline-block;width:12px;height:10px;margin-right:4px}
a{color:#0645ad;cursor:pointer}
</style></head>
<body>
<header><h1 id="title"></h1>
<label>search <input id="search" size="28" placeholder="glob: u_cnt/* or *clk*"></label>
<span id="count"></span>
<label>colour by <select id="colour"><option value="module">module</option><option value="type">type</option></select></label>
<label><input type="checkbox" id="allnets"> all nets</label>
<button id="fit">fit</button>
<span id="summary"></span><span id="note"></span></header>
<main><div id="stage"><canvas id="lower"></canvas><canvas id="upper"></canvas><div id="tip"></div></div>
<aside id="side"><div id="info">Hover over a comp or a drawn net for its properties; click to keep them here and draw the comp's nets.</div>
<h3>Legend</h3><div id="legend" class="legend"></div></aside></main>
<script type="application/json" id="data">)PAGE";

const char* const kPageScript = R"PAGE(</script>
<script>
"use strict";
const D = JSON.parse(document.getElementById("data").textContent);
const TILE = 24, MAXDRAWN = 40;
const PALETTE = ["#1f77b4","#ff7f0e","#2ca02c","#d62728","#9467bd","#8c564b","#e377c2","#17becf",
  "#bcbd22","#3b3eac","#b82e2e","#316395","#994499","#22aa99","#aaaa11","#6633cc"];
const TILEFILL = {LOGIC:"#ececec", IO:"#dce7f5", RAMB:"#f6edc8", RAMT:"#f6edc8", IOB:"#dce7f5"};
const DIRS = {i: "in", o: "out", b: "inout"};
const ROUTE = ["fully routed", "partially routed", "unrouted", "no routing"];
const ROUTESTYLE = [["#4a6fa5", []], ["#e08a00", [4, 2]], ["#d62728", [1.5, 2]], ["#888", [2, 2]]];
const $ = id => document.getElementById(id);
const lower = $("lower"), upper = $("upper"), stage = $("stage"), tip = $("tip");
const comps = D.comps.map((c, i) => ({i, path: c[0], type: D.types[c[1]], typeIndex: c[1], module: c[2],
  x: c[3], y: c[4], slot: c[5], slots: c[6], iob: c[7] === 1, site: c[8], hl: c[9] === 1}));
const nets = D.nets.map((n, i) => ({i, name: n[0], route: n[1], driver: n[2], loads: n[3], delay: n[4], hl: n[5] === 1}));
const view = {scale: 1, x: 0, y: 0};
let matchComps = null, matchNets = null, hovered = null, selected = null;

// Where a comp is drawn, in grid units: slot 0 at the bottom of its tile.
function box(c) {
  const inner = TILE - 4, h = inner / c.slots;
  return {x: c.x * TILE + 2, y: (D.height - 1 - c.y) * TILE + 2 + (c.slots - 1 - c.slot) * h,
          w: inner, h: Math.max(h - 0.4, 0.6)};
}
comps.forEach(c => { c.box = box(c); });
const byTile = new Map();
comps.forEach(c => { const k = c.x + "," + c.y; if (!byTile.has(k)) byTile.set(k, []); byTile.get(k).push(c); });
const netsOf = comps.map(() => new Set());
nets.forEach(n => { if (n.driver >= 0) netsOf[n.driver].add(n.i); n.loads.forEach(l => netsOf[l].add(n.i)); });

function colourOf(c) {
  if ($("colour").value === "type") return PALETTE[c.typeIndex % PALETTE.length];
  return c.module < 0 ? "#9e9e9e" : PALETTE[c.module % PALETTE.length];
}
function toScreen(x, y) { return [x * view.scale + view.x, y * view.scale + view.y]; }
function toWorld(sx, sy) { return [(sx - view.x) / view.scale, (sy - view.y) / view.scale]; }

function resize() {
  const r = window.devicePixelRatio || 1, w = stage.clientWidth, h = stage.clientHeight;
  for (const cv of [lower, upper]) {
    cv.width = Math.max(1, w * r); cv.height = Math.max(1, h * r);
    cv.style.width = w + "px"; cv.style.height = h + "px";
    cv.getContext("2d").setTransform(r, 0, 0, r, 0, 0);
  }
}
function fit() {
  const w = stage.clientWidth, h = stage.clientHeight;
  view.scale = Math.max(0.05, Math.min(w / (D.width * TILE + 20), h / (D.height * TILE + 20)));
  view.x = (w - D.width * TILE * view.scale) / 2; view.y = (h - D.height * TILE * view.scale) / 2;
  drawAll();
}

function drawLower() {
  const g = lower.getContext("2d");
  g.clearRect(0, 0, stage.clientWidth, stage.clientHeight);
  g.save(); g.translate(view.x, view.y); g.scale(view.scale, view.scale);
  for (let i = 0; i < D.tiles.length; i += 3) {
    g.fillStyle = TILEFILL[D.tileTypes[D.tiles[i + 2]]] || "#f3f3f3";
    g.fillRect(D.tiles[i] * TILE, (D.height - 1 - D.tiles[i + 1]) * TILE, TILE - 0.5, TILE - 0.5);
  }
  for (const c of comps) {
    const b = c.box, faded = matchComps && !matchComps.has(c.i);
    g.globalAlpha = faded ? 0.2 : 1;
    if (c.iob) { g.fillStyle = "#fff"; g.strokeStyle = "#0b3d91"; g.lineWidth = 1.2;
      g.fillRect(b.x, b.y, b.w, b.h); g.strokeRect(b.x, b.y, b.w, b.h); }
    else { g.fillStyle = colourOf(c); g.fillRect(b.x, b.y, b.w, b.h); }
  }
  g.globalAlpha = 1;
  g.restore();
}

function centre(i) { const b = comps[i].box; return [b.x + b.w / 2, b.y + b.h / 2]; }
// The nets drawn now: the matched and marked ones, the selected comp's,
// the selected net, and with "all nets" every routed one of few loads.
function drawnNets() {
  const shown = new Set();
  if (matchNets) matchNets.forEach(i => shown.add(i));
  nets.forEach(n => { if (n.hl) shown.add(n.i); });
  if (selected && selected.kind === "comp") netsOf[selected.i].forEach(i => shown.add(i));
  if (selected && selected.kind === "net") shown.add(selected.i);
  if ($("allnets").checked) nets.forEach(n => { if (n.route < 3 && n.loads.length <= MAXDRAWN) shown.add(n.i); });
  return [...shown].filter(i => nets[i].driver >= 0 && nets[i].loads.length > 0);
}
function drawUpper() {
  const g = upper.getContext("2d");
  g.clearRect(0, 0, stage.clientWidth, stage.clientHeight);
  g.save(); g.translate(view.x, view.y); g.scale(view.scale, view.scale);
  for (const i of drawnNets()) {
    const n = nets[i], [x0, y0] = centre(n.driver), st = ROUTESTYLE[n.route];
    g.strokeStyle = (hovered && hovered.kind === "net" && hovered.i === i) ? "#000" : st[0];
    g.setLineDash(st[1]); g.lineWidth = 1.2 / Math.sqrt(view.scale);
    g.beginPath();
    for (const l of n.loads) { const [x1, y1] = centre(l); g.moveTo(x0, y0); g.lineTo(x1, y1); }
    g.stroke();
  }
  g.setLineDash([]);
  const mark = (c, colour, width) => { g.strokeStyle = colour; g.lineWidth = width / view.scale;
    g.strokeRect(c.box.x - 1, c.box.y - 1, c.box.w + 2, c.box.h + 2); };
  comps.forEach(c => { if (c.hl || (matchComps && matchComps.has(c.i))) mark(c, "#e6007e", 2); });
  if (selected && selected.kind === "comp") mark(comps[selected.i], "#000", 3);
  if (hovered && hovered.kind === "comp") mark(comps[hovered.i], "#000", 2);
  g.restore();
}
function drawAll() { drawLower(); drawUpper(); }

// The comp under a point of the stage, else a drawn net within 4 pixels.
function hit(sx, sy) {
  const [wx, wy] = toWorld(sx, sy), tx = Math.floor(wx / TILE), ty = D.height - 1 - Math.floor(wy / TILE);
  for (const c of byTile.get(tx + "," + ty) || [])
    if (wx >= c.box.x && wx <= c.box.x + c.box.w && wy >= c.box.y - 0.3 && wy <= c.box.y + c.box.h + 0.3)
      return {kind: "comp", i: c.i};
  let best = null, bestD = 4;
  for (const i of drawnNets()) {
    const [ax, ay] = toScreen(...centre(nets[i].driver));
    for (const l of nets[i].loads) {
      const [bx, by] = toScreen(...centre(l)), dx = bx - ax, dy = by - ay;
      const t = Math.max(0, Math.min(1, ((sx - ax) * dx + (sy - ay) * dy) / (dx * dx + dy * dy || 1)));
      const d = Math.hypot(sx - ax - t * dx, sy - ay - t * dy);
      if (d < bestD) { bestD = d; best = {kind: "net", i}; }
    }
  }
  return best;
}

function ns(ps) { return ps < 0 ? "" : (ps / 1000).toFixed(3) + " ns"; }
function el(tag, text, attrs) { const e = document.createElement(tag); if (text !== undefined) e.textContent = text;
  Object.assign(e, attrs || {}); return e; }
function row(table, cells, header) { const tr = el("tr"); cells.forEach(c => tr.append(c instanceof Node ? c : el(header ? "th" : "td", c)));
  table.append(tr); }
function netLink(i) { if (i < 0) return el("td", ""); const td = el("td", undefined, {className: "net"}), a = el("a", nets[i].name);
  a.onclick = () => select({kind: "net", i}); td.append(a); return td; }
function compLink(i) { const a = el("a", comps[i].path); a.onclick = () => select({kind: "comp", i}); return a; }

// A block's or net's properties as a small document.
function describe(o, links) {
  const box = el("div");
  if (o.kind === "comp") {
    const c = comps[o.i], t = el("table");
    box.append(el("b", c.path));
    row(t, ["type", c.type]); row(t, ["site", c.site]);
    row(t, ["module", c.module < 0 ? "(none)" : D.modules[c.module]]);
    box.append(t);
    const pins = D.pins[o.i] || [], pt = el("table");
    row(pt, ["pin", "dir", "net", "delay"], true);
    for (let k = 0; k < pins.length && k < 4 * 64; k += 4)
      row(pt, [D.pinNames[pins[k]], DIRS[pins[k + 1]], links ? netLink(pins[k + 2]) : (pins[k + 2] < 0 ? "" : nets[pins[k + 2]].name),
               ns(pins[k + 3])]);
    const count = pins.length / 4;
    box.append(el("div", count + " pins" + (count > 64 ? " (the first 64 shown)" : ""))); box.append(pt);
  } else {
    const n = nets[o.i], t = el("table");
    box.append(el("b", "net " + n.name));
    row(t, ["status", ROUTE[n.route]]); row(t, ["loads", n.loads.length + " placed comps"]); row(t, ["delay", ns(n.delay)]);
    const driver = el("td"); if (n.driver >= 0) driver.append(links ? compLink(n.driver) : comps[n.driver].path);
    row(t, [el("td", "driver"), driver]);
    box.append(t);
    const loads = el("div", "loads: ");
    n.loads.slice(0, 40).forEach((l, k) => { if (k) loads.append(", "); loads.append(links ? compLink(l) : comps[l].path); });
    if (n.loads.length > 40) loads.append(" and " + (n.loads.length - 40) + " more");
    box.append(loads);
  }
  return box;
}

function showTip(o, sx, sy) {
  hovered = o; drawUpper();
  if (!o) { tip.style.display = "none"; tip.replaceChildren(); return; }
  tip.replaceChildren(describe(o, false));
  tip.style.display = "block";
  tip.style.left = Math.min(sx + 14, stage.clientWidth - 300) + "px"; tip.style.top = (sy + 14) + "px";
}
function select(o) {
  selected = o;
  $("info").replaceChildren(o ? describe(o, true) : el("div", ""));
  drawUpper();
}

// A glob as the get commands take it (docs/tcl.md, "Patterns"): * any run
// and ? one character within a level (never "/"), a backslash quotes the
// character after it, the rest (brackets too) itself. Its levels match a
// path's from the top, one for one; a glob of one level matches the last
// level of a path at any depth, as with -hierarchical.
function globRegExp(glob) {
  let re = "", levels = 1;
  for (let i = 0; i < glob.length; i++) {
    let c = glob[i];
    if (c === "*" || c === "?") { re += c === "*" ? "[^/]*" : "[^/]"; continue; }
    if (c === "\\" && i + 1 < glob.length) c = glob[++i];
    if (c === "/") levels++;
    re += c.replace(/[\\^$.*+?()[\]{}|\/]/, "\\$&");
  }
  return new RegExp((levels > 1 ? "^" : "^(?:.*/)?") + re + "$", "su");
}
function search() {
  const glob = $("search").value.trim();
  if (!glob) { matchComps = matchNets = null; $("count").textContent = ""; drawAll(); return; }
  const re = globRegExp(glob);
  matchComps = new Set(comps.filter(c => re.test(c.path)).map(c => c.i));
  matchNets = new Set(nets.filter(n => re.test(n.name)).map(n => n.i));
  $("count").textContent = matchComps.size + " blocks, " + matchNets.size + " nets";
  drawAll();
}

// The colours the comps show: IOBs are drawn white whatever their module or
// type, so a module or type only IOBs have gets no colour of its own.
function legend() {
  const box = $("legend"); box.replaceChildren();
  const byType = $("colour").value === "type", names = byType ? D.types : D.modules;
  const used = new Set(comps.filter(c => !c.iob).map(c => byType ? c.typeIndex : c.module));
  const shown = names.map((name, i) => i).filter(i => used.has(i));
  const swatch = (style, text) => { const d = el("div"), s = el("span"); Object.assign(s.style, style);
    d.append(s, text); box.append(d); };
  shown.slice(0, 24).forEach(i => swatch({background: PALETTE[i % PALETTE.length]}, names[i]));
  if (shown.length > 24) box.append(el("div", "... and " + (shown.length - 24) + " more"));
  if (!byType) swatch({background: "#9e9e9e"}, "comps in no module");
  if (comps.some(c => c.iob)) swatch({background: "#fff", outline: "1.2px solid #0b3d91"}, "IOB");
  ROUTE.slice(0, 3).forEach((r, i) => box.append(el("div", r + " nets: " + nets.filter(n => n.route === i).length)));
}

let drag = null;
upper.addEventListener("mousedown", e => { drag = {x: e.offsetX, y: e.offsetY, vx: view.x, vy: view.y, moved: false}; });
window.addEventListener("mouseup", e => {
  if (drag && !drag.moved && e.target === upper) select(hit(e.offsetX, e.offsetY));
  drag = null;
});
upper.addEventListener("mousemove", e => {
  if (drag && (drag.moved || Math.hypot(e.offsetX - drag.x, e.offsetY - drag.y) > 3)) {
    drag.moved = true; view.x = drag.vx + e.offsetX - drag.x; view.y = drag.vy + e.offsetY - drag.y;
    showTip(null); drawAll(); return;
  }
  showTip(hit(e.offsetX, e.offsetY), e.offsetX, e.offsetY);
});
upper.addEventListener("mouseleave", () => showTip(null));
upper.addEventListener("wheel", e => {
  e.preventDefault();
  const f = Math.exp(-e.deltaY * 0.0015), [wx, wy] = toWorld(e.offsetX, e.offsetY);
  view.scale = Math.min(60, Math.max(0.02, view.scale * f));
  view.x = e.offsetX - wx * view.scale; view.y = e.offsetY - wy * view.scale;
  drawAll();
}, {passive: false});
$("search").addEventListener("input", search);
$("colour").addEventListener("change", () => { legend(); drawLower(); });
$("allnets").addEventListener("change", drawUpper);
$("fit").addEventListener("click", fit);
window.addEventListener("resize", () => { resize(); drawAll(); });

$("title").textContent = D.design + (D.part ? " on " + D.part : "");
$("summary").textContent = comps.length + " placed comps, " + D.unplaced + " unplaced, " + nets.length + " nets";
if (D.leftOutComps || D.leftOutNets)
  $("note").textContent = "left out: " + D.leftOutComps + " of " + (comps.length + D.leftOutComps) +
    " placed comps and " + D.leftOutNets + " nets (at most " + D.maxObjects + " of each)";
legend(); resize(); fit();

// The fragment drives the page as a person would: it types, hovers, clicks.
const args = new URLSearchParams(location.hash.slice(1));
if (args.has("colour")) { $("colour").value = args.get("colour"); $("colour").dispatchEvent(new Event("change")); }
if (args.has("search")) { $("search").value = args.get("search"); $("search").dispatchEvent(new Event("input")); }
if (args.has("select")) {
  const name = args.get("select"), c = comps.find(c => c.path === name), n = nets.find(n => n.name === name);
  select(c ? {kind: "comp", i: c.i} : n ? {kind: "net", i: n.i} : null);
}
if (args.has("hover")) {
  const c = comps.find(c => c.path === args.get("hover"));
  if (c) { const [sx, sy] = toScreen(c.box.x + c.box.w / 2, c.box.y + c.box.h / 2);
    upper.dispatchEvent(new MouseEvent("mousemove", {clientX: sx + upper.getBoundingClientRect().left,
      clientY: sy + upper.getBoundingClientRect().top, bubbles: true})); }
}
document.body.dataset.loadMs = Math.round(performance.now());  // from the navigation's start
document.body.dataset.ready = "1";
</script>
</body></html>
)PAGE";

}  // namespace NcdPlot
