# open_close.tcl: what opening and closing a cached design costs a Tcl
# script, per open/close pair: the command layer, the manager's registries
# and the hand-back to its cache (the file is read once, before timing).
#
#   build/bin/ncdsh bench/tcl/open_close.tcl examples/demo.ncd.json ?pairs?
#
# pairs defaults to 10000. Prints microseconds per pair, best of 3 runs.
if {[llength $argv] < 1 || [llength $argv] > 2} {
  puts stderr "usage: ncdsh open_close.tcl design.ncd.json ?pairs?"
  exit 2
}
package require ncd
lassign $argv file pairs
if {$pairs eq ""} { set pairs 10000 }

# Reads the design once; every open below takes it from the cache.
ncd::close_design [ncd::open_design $file]

proc pair {file owner} {
  if {$owner eq ""} {
    ncd::close_design [ncd::open_design $file]
  } else {
    ncd::close_design [ncd::open_design -owner $owner $file]
  }
}

foreach {label owner} {"no owner" "" "named owner" bench} {
  pair $file $owner  ;# caches this owner's design
  set best Inf
  for {set run 0} {$run < 3} {incr run} {
    set us [lindex [time {pair $file $owner} $pairs] 0]
    if {$us < $best} { set best $us }
  }
  puts [format "open+close of a cached design, %-11s %8.2f us per pair (%d pairs)" $label: $best $pairs]
}
if {[ncd::designs] ne {}} { error "handles left open: [ncd::designs]" }
