# cmake -DINPUT=file -DOUTPUT=header.h -DNAME=kSymbol -P EmbedBytes.cmake
# Writes a header that holds the input file's bytes as a constant array.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n  "
       bytes "${bytes}")
get_filename_component(source "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
  "// Generated at build time from ${source}; do not edit.\n#pragma once\n\n"
  "inline constexpr unsigned char ${NAME}[] = {\n  ${bytes}\n};\n")
