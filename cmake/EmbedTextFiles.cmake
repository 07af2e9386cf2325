# cmake -DOUTPUT=file.cpp -DHEADER=name.h -DNAMES="a;b" -DFILES="a.mustache;b.mustache" -P ...
# Writes a C++ source that defines, for each file, a std::string_view NAME with the file's bytes,
# so that texts kept as files in the repository are compiled into the program. The bytes go in
# as numbers: no quoting rule of the file's own can end the literal.
list(LENGTH NAMES count)
math(EXPR last "${count} - 1")
set(text "// Made at build time from the files of the same names; edit those.\n")
string(APPEND text "#include \"${HEADER}\"\n\n")
foreach(i RANGE ${last})
  list(GET NAMES ${i} name)
  list(GET FILES ${i} file)
  file(READ ${file} bytes HEX)
  string(LENGTH "${bytes}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," chars "${bytes}")
  string(REGEX REPLACE "(([^,]*,){16})" "\\1\n    " chars "${chars}")
  string(APPEND text "namespace {\nconstexpr char k${name}Bytes[${size} + 1] = {\n    ${chars}'\\0'};\n}  // namespace\n")
  string(APPEND text "const std::string_view ${name}{k${name}Bytes, ${size}};\n\n")
endforeach()
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
