# Prints every answer the ncd package gives about one design: its info and
# report, every object of every kind with all its properties, and the net
# and block reports. Run by ncdsh: every_answer.tcl design_file.
set d [ncd::open_design [lindex $argv 0]]
ncd::enable_service $d timing
ncd::enable_service $d routing
puts [ncd::design_info $d]
puts [ncd::report_design -hierarchy]
foreach cmd {get_blocks get_nets get_pins get_signals get_rpms get_sites get_clock_regions get_ports} {
  set objs [ncd::$cmd -hierarchical *]
  puts "$cmd [llength $objs]"
  if {[llength $objs]} { puts [ncd::report_property $objs] }
}
puts [ncd::report_net [ncd::get_nets -hierarchical *]]
puts [ncd::report_block [ncd::get_blocks -hierarchical *]]
ncd::close_design $d
