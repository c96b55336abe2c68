# Turns the panel PNGs into one C++ source of byte arrays and a table sorted by resource id.
#   cmake -DINPUT_DIR=<dir with bmp<id>.png> -DOUTPUT=<file.cpp> [-DSET=2x] -P embed_bitmaps.cmake
# SET names a set drawn at another resolution (its table and arrays carry the name).
# Width and height come from each file's IHDR chunk; a file that is not a PNG stops the build.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED SET)
  set(SET "")
endif()

file(GLOB pngs "${INPUT_DIR}/bmp*.png")
set(ids "")
foreach(png ${pngs})
  get_filename_component(name "${png}" NAME_WE)
  string(REGEX MATCH "^bmp([0-9]+)$" match "${name}")
  if(NOT match)
    message(FATAL_ERROR "unexpected bitmap file name: ${png}")
  endif()
  list(APPEND ids ${CMAKE_MATCH_1})
endforeach()
list(SORT ids COMPARE NATURAL)

# CMake's regular expressions have no counted repetition: spell out one row of 20 bytes.
string(REPEAT "0x..," 20 row)
set(arrays "")
set(table "")
set(count 0)
foreach(id ${ids})
  file(READ "${INPUT_DIR}/bmp${id}.png" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(SUBSTRING "${hex}" 0 32 head)
  # Signature, then the IHDR chunk: length 13, type "IHDR".
  if(size LESS 33 OR NOT head STREQUAL "89504e470d0a1a0a0000000d49484452")
    message(FATAL_ERROR "bmp${id}.png is not a PNG file")
  endif()
  string(SUBSTRING "${hex}" 32 8 widthHex)
  string(SUBSTRING "${hex}" 40 8 heightHex)
  math(EXPR width "0x${widthHex}")
  math(EXPR height "0x${heightHex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char bmp${SET}${id}[${size}] = {\n${bytes}\n};\n")
  string(APPEND table "    {${id}, ${width}, ${height}, bmp${SET}${id}, ${size}ul},\n")
  math(EXPR count "${count} + 1")
endforeach()

if(count EQUAL 0)
  message(FATAL_ERROR "no bitmaps in ${INPUT_DIR}")
endif()

set(content "// Generated from resources/bitmaps by resources/embed_bitmaps.cmake; do not edit.
#include \"resources/bitmap_resources.h\"

#include <cstddef>

namespace grainwheel {
namespace {
${arrays}} // namespace

extern const BitmapResource kEmbeddedBitmaps${SET}[];
extern const std::size_t kEmbeddedBitmapCount${SET};

const BitmapResource kEmbeddedBitmaps${SET}[] = {
${table}};
const std::size_t kEmbeddedBitmapCount${SET} = ${count};

} // namespace grainwheel
")
file(WRITE "${OUTPUT}.tmp" "${content}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
