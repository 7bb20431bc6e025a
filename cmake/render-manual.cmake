# Renders the man page PAGE as the Windows manual (register WN 1: the passages for Windows, none
# only for POSIX), in plain ASCII text in TEXT with CR LF line ends, for Notepad: lines
# left-aligned and unhyphenated, no bold or underline as overstrikes or escape sequences
# (-P -cbou). Any warning fails.
# Usage: cmake -D GROFF=... -D PAGE=... -D TEXT=... -P render-manual.cmake
file(READ ${PAGE} page)
file(WRITE ${TEXT}.roff ".ad l\n${page}")
execute_process(COMMAND ${GROFF} -man -Tascii -ww -rHY=0 -rWN=1 -P -cbou ${TEXT}.roff
                OUTPUT_VARIABLE text ERROR_VARIABLE warnings COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${TEXT}.roff)
if(warnings)
  message(FATAL_ERROR "groff on ${PAGE}: ${warnings}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TEXT} "${text}")
