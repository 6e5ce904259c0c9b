# Helpers of the object-command tests (objects-*.test), sourced after
# support.tcl: the designs they read, what those designs hold according to
# their own files, warnings caught on their way to standard error, values
# that lost their object, and scripts run in a child shell.
package require tcltest 2.5

namespace eval ::ncdtest {
  variable data [file normalize [file join $here .. .. tests data]]
  variable blocksFile [file join $data blocks.ncd.json]
  # The one generated design of the suite: every file that generates one
  # asks for these options, so that the sites the process's device
  # catalogue gathers for its part stay those of one file.
  variable generatorOptions {--blocks 300 --seed 1}

  # The generated design, written into tcltest's temporary folder on
  # first use.
  proc generated {} {
    variable generatorOptions
    set file [file join [::tcltest::temporaryDirectory] generated.ncd.json]
    if {![file exists $file]} {
      set ncdgen [file join [file dirname [info nameofexecutable]] ncdgen]
      exec $ncdgen {*}$generatorOptions -o $file
    }
    return $file
  }

  proc forgetGenerated {} {
    file delete [file join [::tcltest::temporaryDirectory] generated.ncd.json]
  }

  # {result text} of a script whose writes to standard error (through Tcl's
  # channel, where the commands' warnings go) are caught instead of shown.
  proc warnings {script} {
    variable caught {}
    chan push stderr ::ncdtest::catchWrites
    try {
      set result [uplevel 1 $script]
    } finally {
      chan pop stderr
    }
    return [list $result $caught]
  }

  proc catchWrites {command handle args} {
    variable caught
    switch -- $command {
      initialize { return {initialize finalize write flush} }
      write { append caught [lindex $args 0]; return {} }
      default { return {} }
    }
  }

  # The result of a script run with its warnings dropped.
  proc silently {script} {
    return [lindex [uplevel 1 [list ::ncdtest::warnings $script]] 0]
  }

  # A copy of a value as a plain string: the name alone, without its
  # object. (Compiled `string trim` and `format %s` may answer the very
  # value when they have nothing to change; a concatenation is new.)
  proc bare {value} {
    set copy [string cat < $value]
    return [string range $copy 1 end]
  }

  # Whether a value holds an object now (rather than only its name).
  proc holds {value} {
    return [string match "value is a ncd_object *" [::tcl::unsupported::representation $value]]
  }

  # {stdout stderr} of `script` run by a child shell of this one (same
  # environment, so the same component and package).
  proc child {script} {
    set dir [::tcltest::temporaryDirectory]
    set file [::tcltest::makeFile $script child-[incr ::ncdtest::children].tcl $dir]
    set errors [file join $dir child-$::ncdtest::children.err]
    set out [exec [info nameofexecutable] $file 2> $errors]
    set chan [open $errors]
    set err [read $chan]
    close $chan
    file delete $file $errors
    return [list $out $err]
  }
  variable children 0

  # A new interpreter of this thread with the package (loaded as ncdsh has
  # it, else from NCD_TCL_LIBDIR).
  proc childInterp {} {
    set child [interp create]
    if {[catch {load {} Ncd $child}]} {
      $child eval [list set auto_path [concat [list $::env(NCD_TCL_LIBDIR)] $::auto_path]]
      $child eval {package require ncd}
    }
    return $child
  }

  # The live-object counts that must come back to zero.
  proc live {} {
    set counts [ncd::live_objects]
    return [list [dict get $counts collectables] [dict get $counts values]]
  }
}

# ---- what a design file holds ----

# A small JSON reader, enough for design files: objects become dicts,
# arrays lists, strings their text, other words themselves.
namespace eval ::ncdtest::json {
  proc parse {text} {
    variable tokens [regexp -all -inline {"(?:[^"\\]|\\.)*"|[\{\}\[\]:,]|[^\s\{\}\[\]:,"]+} $text]
    variable at 0
    return [value]
  }

  proc value {} {
    variable tokens
    variable at
    set token [lindex $tokens $at]
    incr at
    if {$token eq "\{"} {
      set object [dict create]
      while {[lindex $tokens $at] ne "\}"} {
        set key [text [lindex $tokens $at]]
        incr at 2
        dict set object $key [value]
        if {[lindex $tokens $at] eq ","} { incr at }
      }
      incr at
      return $object
    }
    if {$token eq "\["} {
      set array {}
      while {[lindex $tokens $at] ne "\]"} {
        lappend array [value]
        if {[lindex $tokens $at] eq ","} { incr at }
      }
      incr at
      return $array
    }
    if {[string index $token 0] eq "\""} { return [text $token] }
    return $token
  }

  proc text {token} { return [subst -nocommands -novariables [string range $token 1 end-1]] }
}

namespace eval ::ncdtest {
  proc field {dict key {default {}}} {
    return [expr {[dict exists $dict $key] ? [dict get $dict $key] : $default}]
  }

  # What the design file `file` holds as the commands show it, in file
  # order, by the rules of the design format:
  #   blocks   full names, depth first; a block with netlist or
  #            configuration security is listed, its children are not
  #   pins     full names of the listed blocks' pins, block by block; an
  #            implicit pin is left out unless it is a bel's pad pin
  #   signals  full names of the listed blocks' signals, except those inside
  #            a secured block and those all of whose pins are left out
  #   nets     {name fullName} of every net (a net's full name is its first
  #            signal's); which nets are hidden the callers say
  #   rpms     shape names
  #   sites    cell names
  proc expected {file} {
    set chan [open $file]
    set design [json::parse [read $chan]]
    close $chan
    set result [dict create blocks {} pins {} signals {} nets {} rpms {} sites {}]
    variable firstSignal [dict create]
    Walk [dict get $design top] "" 0 result
    foreach net [field $design nets] {
      set name [dict get $net name]
      dict lappend result nets [list $name [field $firstSignal $name $name]]
    }
    foreach shape [field $design shapes] { dict lappend result rpms [dict get $shape name] }
    foreach cell [field [field $design device] cells] { dict lappend result sites [dict get $cell name] }
    return $result
  }

  proc Walk {block path hidden resultVar} {
    upvar 1 $resultVar result
    variable firstSignal
    set prefix [expr {$path eq "" ? "" : "$path/"}]
    set secured [expr {[field $block netlist_security 0] != 0 || [field $block config_security 0] != 0}]
    if {!$hidden} { dict lappend result blocks [expr {$path eq "" ? [dict get $block name] : $path}] }
    # Which signals of this block reach a pin that is shown, and which any pin.
    set shown [dict create]
    set reached [dict create]
    foreach pin [field $block pins] {
      set visible [expr {![field $pin implicit false] || ([field $pin pad false] && [field $block level] == 4)}]
      if {!$hidden && $visible} { dict lappend result pins $prefix[dict get $pin name] }
      if {[dict exists $pin child_signal]} {
        dict set reached [dict get $pin child_signal] 1
        if {$visible} { dict set shown [dict get $pin child_signal] 1 }
      }
    }
    foreach child [field $block blocks] {
      foreach pin [field $child pins] {
        if {![dict exists $pin signal]} continue
        dict set reached [dict get $pin signal] 1
        if {![field $pin implicit false] || ([field $pin pad false] && [field $child level] == 4)} {
          dict set shown [dict get $pin signal] 1
        }
      }
    }
    foreach signal [field $block signals] {
      set name [dict get $signal name]
      if {[dict exists $signal net] && ![dict exists $firstSignal [dict get $signal net]]} {
        dict set firstSignal [dict get $signal net] $prefix$name
      }
      if {$hidden || $secured} continue
      if {[dict exists $reached $name] && ![dict exists $shown $name]} continue
      dict lappend result signals $prefix$name
    }
    foreach child [field $block blocks] {
      Walk $child $prefix[dict get $child name] [expr {$hidden || $secured}] result
    }
  }

  # The net names of `expected` without `hidden`, and their full names.
  proc netNames {expected {hidden {}}} {
    return [lmap net [dict get $expected nets] {
      if {[lindex $net 0] in $hidden} continue
      lindex $net 0
    }]
  }
  proc netFullNames {expected {hidden {}}} {
    return [lmap net [dict get $expected nets] {
      if {[lindex $net 0] in $hidden} continue
      lindex $net 1
    }]
  }

  # The elements of a list that occur more than once.
  proc duplicates {list} {
    set seen [dict create]
    set twice {}
    foreach item $list {
      if {[dict exists $seen $item] && $item ni $twice} { lappend twice $item }
      dict set seen $item 1
    }
    return $twice
  }
}
