# Query speed of the ncd package in ncdsh, each query next to its baseline
# measured in the same process (see bench/README.md):
#
#   ncdsh bench/tcl/query_speed.tcl design.ncd.json ?glob? ?module? ?yosys.json?
#
# glob (default *c1*) is matched by `get_blocks -hierarchical` (names at
# every level) and by `lsearch -all -glob` over a list of the same blocks'
# full names and over a list of their names; module (default u1) is the
# top-level module below which the path patterns lie. With yosys.json the
# blocks are also written as the cells of one Yosys module "top", named by
# their full names (bench/select_side_by_side.sh reads them with Yosys).
# Times are the best of a few runs; per object, in ns, or per query, in us.

lassign $argv file glob module yosysFile
if {$file eq ""} {
    puts stderr "usage: ncdsh query_speed.tcl design.ncd.json ?glob? ?module? ?yosys.json?"
    exit 2
}
if {$glob eq ""} { set glob *c1* }
if {$module eq ""} { set module u1 }

# The best of `runs` runs of `script`, in microseconds.
proc best {script {runs 3}} {
    set best {}
    for {set i 0} {$i < $runs} {incr i} {
        set t [lindex [uplevel 1 [list time $script]] 0]
        if {$best eq "" || $t < $best} { set best $t }
    }
    return $best
}

proc row {what value unit {baseline ""} {baseValue ""}} {
    if {$baseline eq ""} {
        puts [format "%-58s %12.1f %s" $what $value $unit]
    } else {
        puts [format "%-58s %12.1f %s   %-34s %12.1f %s   ratio %.4g" $what $value $unit \
                  $baseline $baseValue $unit [expr {$value / $baseValue}]]
    }
}

# A glob or regular expression that matches exactly `text`.
proc exactGlob {text} { string map {\\ \\\\ * \\* ? \\?} $text }
proc exactRegexp {text} { return "***=$text" }

set t0 [clock milliseconds]
set design [ncd::open_design $file]
puts "opened $file in [expr {[clock milliseconds] - $t0}] ms"
set blocks [ncd::get_blocks -hierarchical]
# (Read as properties: a string operation would make the objects of $blocks
# plain names.)
set fullNames [ncd::get_property full_name $blocks]
set names [lmap n $fullNames {lindex [split $n /] end}]
set count [llength $blocks]
puts "$count blocks"

# Globs: the search per visited block next to lsearch over the same blocks.
lsearch -all -glob $fullNames $glob ;# Tcl builds each element's form on first use
lsearch -all -glob $names $glob
set matched [llength [ncd::get_blocks -hierarchical -quiet $glob]]
set search [expr {[best {ncd::get_blocks -hierarchical -quiet $glob}] * 1000.0 / $count}]
set overFull [expr {[best {lsearch -all -glob $fullNames $glob}] * 1000.0 / $count}]
set overNames [expr {[best {lsearch -all -glob $names $glob}] * 1000.0 / $count}]
puts "glob $glob: $matched blocks match; lsearch: [llength [lsearch -all -glob $fullNames $glob]]\
      full names, [llength [lsearch -all -glob $names $glob]] names"
row "get_blocks -hierarchical $glob, per block" $search ns "lsearch, full names" $overFull
row "get_blocks -hierarchical $glob, per block" $search ns "lsearch, names" $overNames

# Exact names: a lookup in the name index next to the whole design's search.
set some [lrange $fullNames [expr {$count / 2}] [expr {$count / 2 + 999}]]
set lookups [llength $some]
set exact [expr {[best {foreach n $some { ncd::get_blocks -- [exactGlob $n] }}] / $lookups}]
set one [lindex $some 0]
set walk [best {ncd::get_blocks -regexp -- [exactRegexp $one]} 1]
row "get_blocks <path>, per lookup" $exact us "the search of the path" $walk
set nets [lrange [ncd::get_nets] 0 999]
set netNames [ncd::get_property full_name $nets]
set exactNet [expr {[best {foreach n $netNames { ncd::get_nets -- [exactGlob $n] }}] / [llength $netNames]}]
set netWalk [best {ncd::get_nets -regexp -- [exactRegexp [lindex $netNames 0]]} 1]
row "get_nets <path>, per lookup" $exactNet us "the search of the path" $netWalk
set level [expr {[best {foreach n $some { ncd::get_property level $n }}] / $lookups}]
set levelWalk [best {ncd::get_property level [ncd::get_blocks -regexp -- [exactRegexp $one]]} 1]
row "get_property level <plain name>, per lookup" $level us "the same after a search" $levelWalk

# Paths below one module: the subtree next to the whole design's search.
foreach path [list $module/* $module/*/*] {
    set n [llength [ncd::get_blocks -quiet $path]]
    set below [best {ncd::get_blocks -quiet $path}]
    set re [string map {* {[^/]*}} $path]
    set whole [best {ncd::get_blocks -quiet -regexp $re} 1]
    row "get_blocks $path ($n blocks)" $below us "the design's search" $whole
}

# Every pin: a walk of the view next to each block's list of pins.
set pins [llength [ncd::get_pins]]
set walkPins [expr {[best {ncd::get_pins} 2] * 1000.0 / $pins}]
set listPins [expr {[best {ncd::get_pins -of_objects $blocks} 1] * 1000.0 / $pins}]
row "get_pins, per pin ($pins pins)" $walkPins ns "get_pins -of_objects \$blocks" $listPins

if {$yosysFile ne ""} {
    set out [open $yosysFile w]
    puts $out "{\"modules\": {\"top\": {\"ports\": {}, \"netnames\": {}, \"cells\": {"
    set first 1
    foreach n $fullNames {
        set quoted [string map {\\ \\\\ \" \\\"} $n]
        puts -nonewline $out [expr {$first ? "" : ",\n"}]\"$quoted\":{\"type\":\"B\",\"connections\":{}}
        set first 0
    }
    puts $out "\n}}}}"
    close $out
    puts "wrote $count cells to $yosysFile"
}
ncd::close_design $design
