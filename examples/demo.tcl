# demo.tcl: a tour of the `ncd` package on one design file.
#
#   build/bin/ncdsh examples/demo.tcl examples/demo.ncd.json
#
# Opens the design blocking and asynchronously, for two owners, shows what
# design_info answers and what the shared design manager holds at each
# step, hands the designs back, reopens one from the manager's cache and
# traps the errors a script may meet.
if {[llength $argv] != 1} {
  puts stderr "usage: ncdsh demo.tcl design.ncd.json"
  exit 2
}
package require ncd
set file [lindex $argv 0]

proc step {text} { puts "\n== $text" }

# The manager's registries: in client hands, loading, kept unused.
proc registries {} { puts "   manager: [ncd::dump]" }

proc describe {handle} {
  set info [ncd::design_info $handle]
  set owner [expr {[dict get $info owner] eq "" ? "no owner" : "owner [dict get $info owner]"}]
  puts "   $handle: design [dict get $info name], part [dict get $info part], $owner,\
        [dict get $info status]"
  set levels {}
  dict for {level count} [dict get $info blocks] {
    if {$level ne "total"} { lappend levels "$count $level" }
  }
  puts "   [dict get $info blocks total] blocks ([join $levels {, }])"
  puts "   [dict get $info nets] nets, [dict get $info pins] pins,\
        [dict get $info signals] signals, [dict get $info shapes] shapes"
}

step "a blocking open answers when the design is ready"
set alice [ncd::open_design -owner alice $file]
describe $alice
registries

step "an asynchronous open answers at once; its callback runs from the event loop"
proc loaded {handle status} {
  puts "   callback: $handle is $status"
  set ::loaded $handle
}
set bob [ncd::open_design -owner bob -async -command loaded $file]
puts "   open_design answered $bob, [ncd::load_status $bob]"
vwait ::loaded
describe $bob

step "two owners hold two designs of one file; one owner's second open shares its design"
set alice2 [ncd::open_design -owner alice $file]
puts "   handles: [ncd::designs]"
registries

step "closing hands the designs back; the manager keeps the last one unused"
foreach handle [ncd::designs] {
  ncd::close_design $handle
  puts "   closed $handle"
}
registries

step "reopening comes from the manager's cache, without reading the file"
set again [ncd::open_design -owner alice $file]
puts "   [ncd::load_status $again] at once: $again"
registries

step "the design's objects are Tcl values: search, relate, filter, read properties"
puts "   [llength [ncd::get_blocks]] blocks, [llength [ncd::get_nets]] nets,\
      [llength [ncd::get_rpms]] RPMs in design [ncd::current_design]"
set unplaced [ncd::get_blocks -quiet -filter {level == Comp && !is_placed}]
puts "   comps not placed: [expr {[llength $unplaced] ? $unplaced : {none}}]"
set widest {}
foreach net [ncd::get_nets] {
  if {$widest eq {} || [ncd::get_property fanout $net] > [ncd::get_property fanout $widest]} {
    set widest $net
  }
}
puts "   widest net: $widest, driven by [ncd::get_pins -quiet -of_objects $widest -leaf -driver],\
      [ncd::get_property fanout $widest] loads in\
      [llength [ncd::get_blocks -of_objects $widest]] blocks"
puts "   its max delay (the timing service comes with the first delay read): [ncd::get_property max_delay $widest] ns"
foreach iob [ncd::get_blocks -quiet -filter {{IO Standard} != {}}] {
  puts "   IOB $iob: [ncd::get_property io_direction $iob] [ncd::get_property io_standard $iob]"
}
foreach hm [ncd::get_blocks -quiet -filter {level == {Hm Instance}}] {
  puts "   hard macro $hm: [ncd::get_property status $hm]"
}
foreach rpm [ncd::get_rpms -quiet] {
  puts "   RPM $rpm ([ncd::get_property subtype $rpm]): [llength [ncd::get_blocks -quiet -of_objects $rpm]] members"
}
puts [ncd::report_property $widest]

step "asking as in the timing shells: ports, paths, bus bits by name, reports"
puts "   ports: [ncd::get_ports]"
foreach port [ncd::get_ports] {
  puts "   port $port ([ncd::get_property direction $port]) is on net [ncd::get_nets -quiet -of_objects $port]"
}
puts "   top-level blocks: [llength [ncd::get_blocks *]], blocks one level below them: [llength [ncd::get_blocks -quiet */*]]"
set bit [lindex [ncd::get_nets -quiet -hierarchical {*[0]}] 0]
if {$bit ne ""} {
  # A bus bit is typed as it prints: brackets are no wildcards.
  set name [string cat $bit]
  puts "   the bus bit net {$name}, asked by its name: [ncd::get_nets -quiet $name], fanout [ncd::get_property fanout $name]"
}
puts [ncd::report_net $widest]
puts [ncd::report_design]

step "errors are Tcl errors with an -errorcode: NCD and a class"
foreach script [list \
    [list ncd::open_design [file join [file dirname $file] no-such-design.ncd.json]] \
    [list ncd::design_info $alice] \
    [list ncd::open_design -colour red $file] \
    [list ncd::get_property colour [ncd::get_blocks -limit 1]] \
    [list ncd::get_nets -filter {fanout >}] \
    [list ncd::get_property name [ncd::get_property name [lindex [ncd::get_ports] 0]]]] {
  try {
    eval $script
  } trap {NCD LOAD} {message} {
    puts "   NCD LOAD:   $message"
  } trap {NCD HANDLE} {message} {
    puts "   NCD HANDLE: $message"
  } trap {NCD OPTION} {message} {
    puts "   NCD OPTION: $message"
  } trap {NCD PROPERTY} {message} {
    puts "   NCD PROPERTY: $message"
  } trap {NCD FILTER} {message} {
    puts "   NCD FILTER: $message"
  } trap {NCD OBJECT} {message} {
    puts "   NCD OBJECT: $message"
  }
}

step "the command reference is at hand"
puts [ncd::help open_design]

ncd::close_design $again
ncd::purge_unused
step "all handed back and purged"
registries
