# cmake -DIN=<binary> -DOUT=<source.cpp> -DSYMBOL=<name> -P embed_blob.cmake
# Writes the bytes of an assembled boot code file as a C++ array in namespace bootice.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" body "${body}")
file(WRITE ${OUT}.tmp "// Generated from ${IN}; do not edit.\n#include <cstddef>\n#include <cstdint>\nnamespace bootice {\nextern const uint8_t ${SYMBOL}[${size}] = {\n${body}\n};\nextern const size_t ${SYMBOL}Size = ${size};\n}  // namespace bootice\n")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
