# The content readers. Every file src/fileops/readers/NAME.cpp defines
# `const ContentReader& NAME()`; this writes the list of them that ContentReaders()
# (fileops/ContentReader.h) hands out, so that a new reader is a new file and nothing else.
# The glob is checked again at every build: a file added or removed rewrites the list.

file(GLOB MERVANE_READER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/fileops/readers/*.cpp)
list(SORT MERVANE_READER_SOURCES)
set(MERVANE_READER_DECLARATIONS "")
set(MERVANE_READER_ITEMS "")
foreach(source ${MERVANE_READER_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  string(APPEND MERVANE_READER_DECLARATIONS "const ContentReader& ${name}();\n")
  string(APPEND MERVANE_READER_ITEMS "      &${name}(),\n")
endforeach()

set(MERVANE_READER_LIST ${CMAKE_BINARY_DIR}/generated/fileops/ContentReaderList.cpp)
# file(CONFIGURE) writes only when the text changed, so an unchanged list recompiles nothing.
file(CONFIGURE OUTPUT ${MERVANE_READER_LIST} CONTENT [[
// Written by cmake/ContentReaders.cmake from the files in src/fileops/readers/.
#include "fileops/ContentReader.h"

#include <vector>

@MERVANE_READER_DECLARATIONS@
std::span<const ContentReader* const> ContentReaders() {
  static const std::vector<const ContentReader*> readers = {
@MERVANE_READER_ITEMS@  };
  return readers;
}
]] @ONLY)
list(APPEND MERVANE_GENERATED_SOURCES ${MERVANE_READER_LIST})
