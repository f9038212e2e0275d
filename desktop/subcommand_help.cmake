# Writes a help2man include file whose COMMANDS section holds `PROGRAM SUBCOMMAND --help` for every
# subcommand that `PROGRAM --help` lists, so a tool's man page explains each command as its help
# does, and a new command appears without anyone listing it here.
#
#   cmake -DPROGRAM=path/to/tool -DOUTPUT=file.h2m -P subcommand_help.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE overview RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed")
endif()
# The names in the "Subcommands:" list, one a line, indented, before their description.
string(REGEX MATCH "\nSubcommands:\n(  [^\n]*\n)+" listing "${overview}")
string(REGEX MATCHALL "\n  [^ \n]+" names "${listing}")
file(WRITE ${OUTPUT} "[COMMANDS]\n")
foreach(entry ${names})
  string(STRIP "${entry}" name)
  execute_process(COMMAND ${PROGRAM} ${name} --help OUTPUT_VARIABLE text RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${name} --help failed")
  endif()
  # Shown as written: backslashes escaped, and no line may start a roff request.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" text "\n${text}")
  file(APPEND ${OUTPUT} ".SS ${name}\n.nf${text}.fi\n")
endforeach()
