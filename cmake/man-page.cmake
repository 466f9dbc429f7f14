# Writes the manual page kelvane(1) from the program's own --help texts, so the page and
# --help never disagree. cmake -DKELVANE=program -DVERSION=x.y.z -DOUT=kelvane.1 -P man-page.cmake
set(commands run pack unpack info exec fuse)

# The text of `kelvane ARGS --help`, as roff lines kept as they are.
function(help_text out)
    execute_process(COMMAND ${KELVANE} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${KELVANE} ${ARGN} --help failed")
    endif()
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    # A line starting with a dot or an apostrophe would be read as a request.
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} ".nf\n${text}.fi\n" PARENT_SCOPE)
endfunction()

help_text(main)
set(page ".TH KELVANE 1 \"\" \"kelvane ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\nkelvane \\- play Kelvane games on Linux\n")
string(APPEND page ".SH SYNOPSIS\n.B kelvane\n.I COMMAND\n[\\fIARGS\\fR...]\n")
string(APPEND page ".SH DESCRIPTION\nKelvane Runner plays Kelvane games in a window, or headless and "
                   "deterministically for tests and tools, and packs, unpacks and inspects game files.\n")
string(APPEND page "${main}")
string(APPEND page ".SH COMMANDS\n")
foreach(c ${commands})
    help_text(text ${c})
    string(APPEND page ".SS ${c}\n${text}")
endforeach()
string(APPEND page ".SH FILES\n.TP\n.I PREFIX/share/kelvane/\nthe runner's own data\n")
string(APPEND page ".TP\n.I ~/.local/share/kelvane/\nhigh scores and the values games keep "
                   "(\\fB$XDG_DATA_HOME/kelvane/\\fR when set)\n")
file(WRITE ${OUT} "${page}")
