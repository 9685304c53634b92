# Writes the manual page of Faceloom from what `Faceloom --help` prints, so that the
# two never disagree. Run as a script: cmake -DFACELOOM=<binary> -DVERSION=<v>
# -DOUTPUT=<file> -P ManPage.cmake
execute_process(COMMAND ${FACELOOM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
# The help ends with status 255, as documented; the usage text before its "Usage :"
# line is for a terminal, not for the manual.
string(FIND "${help}" "Usage :" start)
if(NOT status EQUAL 255 OR start EQUAL -1)
  message(FATAL_ERROR "${FACELOOM} --help printed no help (status ${status})")
endif()
string(SUBSTRING "${help}" ${start} -1 help)
# roff: backslashes written as \e, and a line starting with a dot or a quote taken
# as text, not as a request.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
file(WRITE ${OUTPUT}
".TH FACELOOM 1 \"\" \"Faceloom ${VERSION}\" \"User Commands\"
.SH NAME
Faceloom \\- Catmull-Clark refinement of textured polygon meshes, texture coordinates included
.SH SYNOPSIS
.B Faceloom
[options] <steps> <input> <output>
.SH DESCRIPTION
.nf
${help}
.fi
")
