# Writes a help2man include file whose section SECTION holds the README's text under the line
# **SECTION** (up to the next such heading), turned into roff: rules that the README explains
# once reach the man page as they stand there, and cannot drift apart from it.
#
#   cmake -DREADME=README.md -DSECTION="MAPS IN TILED" -DOUTPUT=file.h2m -P readme_section.cmake
file(READ ${README} readme)
set(heading "\n**${SECTION}**\n")
string(FIND "${readme}" "${heading}" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${README} has no section **${SECTION}**")
endif()
string(LENGTH "${heading}" skip)
math(EXPR start "${start} + ${skip}")
string(SUBSTRING "${readme}" ${start} -1 text)
string(FIND "${text}" "\n**" end)
string(SUBSTRING "${text}" 0 ${end} text)
set(text "\n${text}\n")

# Shown as written: backslashes escaped, and no line may start a roff request.
string(REPLACE "\\" "\\e" text "${text}")
string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" text "${text}")
# Markdown's marks: code spans lose their backquotes, a link shows its address after its text.
string(REPLACE "`" "" text "${text}")
string(REGEX REPLACE "\\[([^]\n]*)\\]\\(([^)\n]*)\\)" "\\1 (\\2)" text "${text}")
# A table's heading row goes; each row becomes a tagged paragraph, its first cell the tag.
string(REGEX REPLACE "\n\\|[^\n]*\\|\n\\|---[^\n]*" "" text "${text}")
string(REGEX REPLACE "\n\\| ([^\n]*) \\| ([^\n]*) \\|" "\n.TP\n\\1\n\\2" text "${text}")
# Numbered and bulleted items, their continuation lines, and paragraphs.
string(REGEX REPLACE "\n([0-9]+)\\. " "\n.IP \\1. 4\n" text "${text}")
string(REGEX REPLACE "\n- " "\n.IP \\\\(bu 2\n" text "${text}")
string(REGEX REPLACE "\n +" "\n" text "${text}")
string(REGEX REPLACE "\n\n+" "\n.PP\n" text "${text}")
string(REGEX REPLACE "\n\\.PP\n\\.([IT]P)" "\n.\\1" text "${text}")
string(STRIP "${text}" text)
file(WRITE ${OUTPUT} "[${SECTION}]\n${text}\n")
