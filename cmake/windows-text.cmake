# cmake -DINPUT=file -DOUTPUT=file.txt [-DGROFF=groff] -P windows-text.cmake
# Writes INPUT as a text file that Notepad on any Windows shows as written:
# UTF-8 with a byte order mark (without one, a Japanese Windows reads code
# page 932) and CRLF line ends. With GROFF, INPUT is a manual page, rendered
# as plain text first.
if(GROFF)
  execute_process(COMMAND "${GROFF}" -man -Tutf8 -P-cbou "${INPUT}"
                  OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${GROFF} failed on ${INPUT}")
  endif()
else()
  file(READ "${INPUT}" text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 byte_order_mark)
file(WRITE "${OUTPUT}" "${byte_order_mark}${text}")
