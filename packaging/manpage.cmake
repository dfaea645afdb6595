# Writes the man page from the program's own --help and --version, so that
# the two never tell different stories.
#   cmake -DEXE=path/to/ravelin -DOUT=ravelin.1 -P manpage.cmake
execute_process(COMMAND ${EXE} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${EXE} --help failed: ${status}")
endif()
execute_process(COMMAND ${EXE} --version OUTPUT_VARIABLE version RESULT_VARIABLE status
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${EXE} --version failed: ${status}")
endif()

# Backslashes and hyphens as roff wants them; a leading dot or quote would be
# read as a request.
function(roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(REPLACE "\n" ";" lines "${help}")
set(synopsis "")
set(description "")
set(options "")
foreach(line IN LISTS lines)
  if(line MATCHES "^Usage: ravelin (.*)$")
    roff_escape("${CMAKE_MATCH_1}" synopsis)
  elseif(line MATCHES "^  +(-[^ ]+( [A-Z]+)?)  +(.*)$")
    set(option "${CMAKE_MATCH_1}")
    set(meaning "${CMAKE_MATCH_3}")
    roff_escape("${meaning}" meaning)
    if(option MATCHES "^([^ ]+) ([A-Z]+)$")
      roff_escape("${CMAKE_MATCH_1}" name)
      set(option "\\fB${name}\\fR \\fI${CMAKE_MATCH_2}\\fR")
    else()
      roff_escape("${option}" name)
      set(option "\\fB${name}\\fR")
    endif()
    string(APPEND options ".TP\n${option}\n${meaning}\n")
  elseif(NOT line STREQUAL "")
    roff_escape("${line}" text)
    string(APPEND description "${text}\n")
  endif()
endforeach()
if(synopsis STREQUAL "" OR options STREQUAL "")
  message(FATAL_ERROR "${EXE} --help has no usage line or no options")
endif()
# The first line names the program; the rest describe it.
string(REGEX REPLACE "\n.*$" "" summary "${description}")
string(REGEX REPLACE "\\.$" "" summary "${summary}")
string(TOLOWER "${summary}" summary_lower)
string(SUBSTRING "${summary_lower}" 0 1 first)
string(SUBSTRING "${summary}" 1 -1 rest)
roff_escape("${version}" version)

file(WRITE ${OUT} ".TH RAVELIN 1 \"\" \"${version}\" \"User Commands\"
.SH NAME
ravelin \\- ${first}${rest}
.SH SYNOPSIS
.B ravelin
${synopsis}
.SH DESCRIPTION
${description}A \\fIFILE\\fR of any size shows at once; its end is followed while it grows,
and it is never changed.
With no \\fIFILE\\fR and the option \\(lqReopen last opened logs at startup\\(rq on,
the last session or the tabs of the last run open again.
Options of Qt itself, such as \\fB\\-style\\fR \\fIname\\fR, are passed to Qt.
.SH OPTIONS
${options}.SH EXIT STATUS
0 on success, 2 for an unknown option or a missing option value.
.SH FILES
.TP
\\fI\\(ti/.config/ravelin/Ravelin.ini\\fR
The settings, or \\fI\\(DoXDG_CONFIG_HOME/ravelin/Ravelin.ini\\fR; a \\fIRavelin.ini\\fR
beside the program is used instead when it exists.
.TP
\\fI*.ravelin\\-session\\fR
Saved sessions of tabs.
.TP
\\fI\\(ti/.cache/ravelin/spool\\-*\\fR
Standard input as it came, or \\fI\\(DoXDG_CACHE_HOME/ravelin\\fR; each goes with its
tab, and one left by a program that died goes at the next start.
.SH SEE ALSO
The help page, \\fIhelp.html\\fR in the program's documentation folder
(usually \\fI/usr/share/doc/ravelin/\\fR), also opened by F1.
.BR less (1),
.BR tail (1)
")
