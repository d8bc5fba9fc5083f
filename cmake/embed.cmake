# cmake -DIN=file.png -DOUT=file.cpp -P embed.cmake: writes the bytes of IN
# as the array OrvaneIconPng and their count OrvaneIconPngSize.
file(READ "${IN}" hex HEX)
get_filename_component(name "${IN}" NAME)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
       "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp"
  "// Made from ${name} when the program is built.\n"
  "extern const unsigned char OrvaneIconPng[] = {\n${bytes}};\n"
  "extern const int OrvaneIconPngSize = ${size};\n")
file(RENAME "${OUT}.tmp" "${OUT}")
