# Runs every *.test file of this folder in this process (ncdsh all.tcl
# ?tcltest options?) and exits with status 1 when a test failed or a test
# file could not run to its end, 0 otherwise.
#
# Environment: CIT_COMPONENT_PATH (where the component library is),
# NCD_EXAMPLES (the example designs; default ../../examples) and
# NCD_TCL_LIBDIR (the folder of pkgIndex.tcl, for child interpreters).
package require tcltest 2.5

namespace eval ::ncdtest::all {
  variable failed 0
  variable fileErrors 0
  variable tmpdir [file join [expr {[info exists ::env(TMPDIR)] ? $::env(TMPDIR) : "/tmp"}] \
                       ncdtcl-tests-[pid]]
}

# runAllTests reports totals and then zeroes them; its last call of this hook
# sees the totals of the whole run.
proc ::tcltest::cleanupTestsHook {} {
  set ::ncdtest::all::failed $::tcltest::numTests(Failed)
}

# runAllTests sources each file in this interpreter and only prints a file
# that stopped with an error; count those too.
rename ::source ::ncdtest::all::source
proc ::source {args} {
  if {[catch {uplevel 1 [list ::ncdtest::all::source {*}$args]} message options]} {
    incr ::ncdtest::all::fileErrors
    return -options $options $message
  }
  return $message
}

file mkdir $::ncdtest::all::tmpdir
::tcltest::configure -testdir [file dirname [file normalize [info script]]] \
    -tmpdir $::ncdtest::all::tmpdir -singleproc 1 {*}$argv
::tcltest::runAllTests

rename ::source {}
rename ::ncdtest::all::source ::source
file delete -force $::ncdtest::all::tmpdir
set status [expr {$::ncdtest::all::failed > 0 || $::ncdtest::all::fileErrors > 0}]
if {$status} {
  puts stderr "all.tcl: $::ncdtest::all::failed failed tests, $::ncdtest::all::fileErrors test files with errors"
}
exit $status
