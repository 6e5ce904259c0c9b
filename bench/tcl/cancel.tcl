# cancel.tcl: how long ncd::cancel_load takes to return while a large
# design is being read, against the time the whole read takes.
#
#   build/bin/ncdsh bench/tcl/cancel.tcl build/bench-data/ncdgen1_b1000000_s1.json
#
# (bench_cancel writes that design on its first run; build/bin/ncdgen
# --blocks 1000000 --seed 1 -o FILE makes the same.) Reads the design once
# to time it, then for each point of the read (a percentage of that time)
# opens it with -async, waits, and times ncd::cancel_load: milliseconds,
# mean and worst of 3. Goal: under 100 ms.
if {[llength $argv] != 1} {
  puts stderr "usage: ncdsh cancel.tcl design.ncd.json"
  exit 2
}
package require ncd
set file [lindex $argv 0]

proc ms {script} {
  expr {[lindex [uplevel 1 [list time $script]] 0] / 1000.0}
}

set loadMs [ms {set h [ncd::open_design $file]}]
ncd::close_design $h
ncd::purge_unused
puts [format "whole read                %9.1f ms" $loadMs]

foreach percent {1 30 60 90} {
  set total 0.0
  set worst 0.0
  for {set run 0} {$run < 3} {incr run} {
    set h [ncd::open_design -async $file]
    after [expr {int($loadMs * $percent / 100)}]
    if {[ncd::load_status $h] ne "loading"} {
      ncd::close_design $h
      ncd::purge_unused
      continue
    }
    set t [ms {ncd::cancel_load $h}]
    set total [expr {$total + $t}]
    if {$t > $worst} { set worst $t }
    incr runs($percent)
  }
  if {![info exists runs($percent)]} {
    puts [format "cancel at %3d%% of the read  (the read always ended first)" $percent]
    continue
  }
  puts [format "cancel at %3d%% of the read %8.2f ms mean, %8.2f ms worst (%d runs)" \
      $percent [expr {$total / $runs($percent)}] $worst $runs($percent)]
}
if {[ncd::designs] ne {}} { error "handles left open: [ncd::designs]" }
