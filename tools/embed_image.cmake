# Turns a built library file into a C++ source holding it as constant data: a 32-bit 1,
# the 32-bit length (both little-endian), then the bytes.
#   cmake -DINPUT=file.dll -DOUTPUT=file.cpp -DNAME=SymbolName -P embed_image.cmake
# The source defines `const EmbeddedImage NAME` (declared in libs/EmbeddedImages.h).
if(NOT INPUT OR NOT OUTPUT OR NOT NAME)
  message(FATAL_ERROR "embed_image.cmake needs INPUT, OUTPUT and NAME")
endif()

file(SIZE "${INPUT}" length)
file(READ "${INPUT}" hex HEX)

math(EXPR b0 "${length} & 255")
math(EXPR b1 "(${length} >> 8) & 255")
math(EXPR b2 "(${length} >> 16) & 255")
math(EXPR b3 "(${length} >> 24) & 255")

# Sixteen bytes to a line keeps the generated file readable in a diff tool.
string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 line_pattern)
string(REGEX REPLACE "(${line_pattern})" "\\1\n    " bytes "${bytes}")

file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} by tools/embed_image.cmake; do not edit.\n"
"#include \"libs/EmbeddedImages.h\"\n\n"
"namespace {\n"
"alignas(4) const unsigned char stored[] = {\n"
"    1, 0, 0, 0, ${b0}, ${b1}, ${b2}, ${b3},\n"
"    ${bytes}\n"
"};\n"
"}  // namespace\n\n"
"const EmbeddedImage ${NAME}{stored};\n")
# Only a changed image touches the source, so an unchanged library does not rebuild the program.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
