# Writes the manual page of mellowby-cli from the tool's own --help and --version, so that it says
# what the tool says. help2man lays the help out as a manual page; its English headings are then
# put in Chinese and the tool's own headings ("用法：", "命令：", "选项：") made into sections.
#
#   cmake -DHELP2MAN=help2man -DTOOL=bin/mellowby-cli -DINCLUDE=mellowby-cli.h2m -DOUTPUT=bin/mellowby-cli.1 -P ManPage.cmake

# Without a UTF-8 locale help2man writes every Chinese character as "?"; C.UTF-8 is always there.
execute_process(
  COMMAND "${HELP2MAN}" --no-info --locale=C.UTF-8 --section=1 "--include=${INCLUDE}" "--output=${OUTPUT}.new" "${TOOL}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man could not make the manual page of ${TOOL}")
endif()
file(READ "${OUTPUT}.new" page)
file(REMOVE "${OUTPUT}.new")

# The usage lines, one a line, as the synopsis; what the help says next describes the tool.
if(NOT page MATCHES "\n\\.SH DESCRIPTION\n用法：\n\\.IP\n([^.][^\n]*(\n[^.][^\n]*)*)\n\\.PP\n")
  message(FATAL_ERROR "the help of ${TOOL} does not begin with its usage lines")
endif()
string(REPLACE "\n" "\n.br\n" synopsis "${CMAKE_MATCH_1}")
string(REPLACE "${CMAKE_MATCH_0}" "\n.SH 概述\n${synopsis}\n.SH 描述\n" page "${page}")
# "命令：" and "选项：" followed by their lists.
string(REGEX REPLACE "\n\\.PP\n([^\n]+)：\n\\.TP\n" "\n.SH \\1\n.TP\n" page "${page}")
string(REPLACE "\n.SH NAME\n" "\n.SH 名称\n" page "${page}")
string(REPLACE "\n.SH FILES\n" "\n.SH 文件\n" page "${page}")
string(REPLACE "\n.SH EXAMPLES\n" "\n.SH 示例\n" page "${page}")

# The page's header: help2man writes the month in English, and a --manual given in Chinese twice
# encoded.
string(TIMESTAMP year "%Y")
string(TIMESTAMP month "%m")
math(EXPR month "${month}")
# troff breaks lines only at spaces, which Chinese text has few of: it may break after its
# punctuation too, and lines are neither justified (the spaces of a line with a long Chinese
# phrase would be stretched) nor words hyphenated.
foreach(mark "，" "、" "；" "：" "。" "）")
  string(REPLACE "${mark}" "${mark}\\:" page "${page}")
endforeach()
string(REGEX REPLACE "\n\\.TH ([^ ]+) \"1\" \"[^\"]*\" (\"[^\"]*\") \"[^\"]*\"\n"
  "\n.TH \\1 \"1\" \"${year}年${month}月\" \\2 \"用户命令\"\n.ad l\n.nh\n" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
