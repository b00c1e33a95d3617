# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P EmbedScript.cmake
# Writes a source defining `const char <SYMBOL>[]` (the file's bytes, then a terminating NUL)
# and `const size_t <SYMBOL>Size` (the byte count without it). Bytes go in as hex, so nothing
# in the file can end a literal early.
file(READ "${INPUT}" content HEX)
string(LENGTH "${content}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; edit that file instead.\n"
  "#include <cstddef>\n\n"
  "namespace wv {\n\n"
  "extern const char ${SYMBOL}[];\n"
  "extern const size_t ${SYMBOL}Size;\n"
  "const char ${SYMBOL}[] = {\n    ${bytes}'\\0'};\n"
  "const size_t ${SYMBOL}Size = ${size};\n\n"
  "}  // namespace wv\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
