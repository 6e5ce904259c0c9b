# Helpers every test file sources: the example design, design files
# written for a case into tcltest's temporary folder, the clean state each
# test starts from, and the result and -errorcode of a failing script.
package require tcltest 2.5
package require ncd

namespace eval ::ncdtest {
  variable here [file dirname [file normalize [info script]]]
  variable examples [expr {[info exists ::env(NCD_EXAMPLES)]
                           ? $::env(NCD_EXAMPLES) : [file join $here .. .. examples]}]
  variable demo [file normalize [file join $examples demo.ncd.json]]

  # The smallest valid design; `faults` is the body of a "faults" object,
  # e.g. {"load_delay_ms": 300}.
  proc minimal {{faults {}}} {
    set text {{"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1", "top": {"name": "top", "level": 0}}}
    if {$faults ne {}} {
      set text [string range $text 0 end-1]
      append text ", \"faults\": {$faults}\}"
    }
    return $text
  }

  # Writes `text` as design file `name` in the temporary folder and answers
  # its full path; tcltest deletes it when the test file ends.
  proc write {name text} {
    return [::tcltest::makeFile $text $name [::tcltest::temporaryDirectory]]
  }

  # The whole text of a file.
  proc slurp {path} {
    set channel [open $path]
    try { return [read $channel] } finally { close $channel }
  }

  # A minimal design (with `faults`) written as `name`.
  proc design {name {faults {}}} { return [write $name [minimal $faults]] }

  # Closes this interpreter's handles and empties the manager's cache, so
  # that the manager's registries start empty.
  proc reset {} {
    foreach handle [ncd::designs] { ncd::close_design $handle }
    ncd::purge_unused
  }

  # {message errorcode} of a script that must fail.
  proc failure {script} {
    if {![catch {uplevel 1 $script} message options]} { return [list no error: $message] }
    return [list $message [dict get $options -errorcode]]
  }

  # Waits in the event loop until `varName` (global) is set, at most
  # `limit` ms, so that a broken callback ends the test instead of hanging it.
  proc await {varName {limit 20000}} {
    set timer [after $limit [list set ::$varName timeout]]
    vwait ::$varName
    after cancel $timer
    return [set ::$varName]
  }

  # The manager's dump with each requester identity of this package
  # written as the handle it belongs to: '<ncd3>' for handle ncd3 of any
  # interpreter (the identity is {"ncdtcl" + session, handle number}).
  proc dump {{prefix {}}} {
    set text [ncd::dump -prefix $prefix]
    set pattern {'6e636474-636c-[0-9a-f]{4}-([0-9a-f]{4})-([0-9a-f]{12})'}
    foreach {uuid high low} [regexp -all -inline $pattern $text] {
      set text [string map [list $uuid '<ncd[expr {"0x$high$low" + 0}]>'] $text]
    }
    return $text
  }
}
