# Generated sources: the packed text tables and the embedded images.
#
# tools/pack_texts runs on the build machine: it checks the plain text sources under
# resources/texts/ (entries numbered 0..N-1 without gaps, none empty), packs them into
# text-table containers and writes them, with the PNG images of resources/images/, as byte
# arrays into one C++ source compiled into the engine, and the names of the entries into
# texts/LanguageEntries.h (the language table) and texts/AdditionEntries.h (our additions). Editing a source or the tool reruns it.

add_executable(pack_texts ${CMAKE_SOURCE_DIR}/tools/pack_texts.cpp)
target_link_libraries(pack_texts PRIVATE Qt6::Core ZLIB::ZLIB)
set_target_properties(pack_texts PROPERTIES AUTOMOC OFF)
mervane_warnings(pack_texts)

set(MERVANE_TEXT_DIR ${CMAKE_SOURCE_DIR}/resources/texts)
set(MERVANE_IMAGE_DIR ${CMAKE_SOURCE_DIR}/resources/images)
set(MERVANE_PACKED_SOURCE ${CMAKE_BINARY_DIR}/generated/PackedData.cpp)
set(MERVANE_ENTRY_HEADER ${CMAKE_BINARY_DIR}/generated/texts/LanguageEntries.h)
set(MERVANE_ADDITION_HEADER ${CMAKE_BINARY_DIR}/generated/texts/AdditionEntries.h)
set(MERVANE_GENERATED_INCLUDE ${CMAKE_BINARY_DIR}/generated)

set(MERVANE_TEXT_SOURCES
    ${MERVANE_TEXT_DIR}/product.txt
    ${MERVANE_TEXT_DIR}/german.txt
    ${MERVANE_TEXT_DIR}/english.txt
    ${MERVANE_TEXT_DIR}/additions-english.txt
    ${MERVANE_TEXT_DIR}/additions-german.txt
    ${MERVANE_TEXT_DIR}/entries.txt)
# Image 1 is the program icon; imageNN.png is the window's picture number NN
# (tools/make_images.py draws them). A new picture is a new file: the glob finds it.
set(MERVANE_IMAGE_SOURCES ${MERVANE_IMAGE_DIR}/icon16.png)
set(MERVANE_IMAGE_ARGS --image 1 ${MERVANE_IMAGE_DIR}/icon16.png)
file(GLOB MERVANE_WINDOW_IMAGES CONFIGURE_DEPENDS ${MERVANE_IMAGE_DIR}/image[0-9][0-9].png)
foreach(file ${MERVANE_WINDOW_IMAGES})
  get_filename_component(name ${file} NAME_WE)
  string(SUBSTRING ${name} 5 2 number)
  string(REGEX REPLACE "^0" "" number ${number})
  list(APPEND MERVANE_IMAGE_SOURCES ${file})
  list(APPEND MERVANE_IMAGE_ARGS --image ${number} ${file})
endforeach()

add_custom_command(
  OUTPUT ${MERVANE_PACKED_SOURCE} ${MERVANE_ENTRY_HEADER} ${MERVANE_ADDITION_HEADER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/texts
  COMMAND pack_texts ${MERVANE_PACKED_SOURCE}
          --table product 56 ${MERVANE_TEXT_DIR}/product.txt
          --table german 371 ${MERVANE_TEXT_DIR}/german.txt
          --table english 371 ${MERVANE_TEXT_DIR}/english.txt
          --additions ${MERVANE_TEXT_DIR}/additions-english.txt
                      ${MERVANE_TEXT_DIR}/additions-german.txt
          --addition-entries ${MERVANE_ADDITION_HEADER}
          --entries ${MERVANE_TEXT_DIR}/entries.txt ${MERVANE_ENTRY_HEADER}
          ${MERVANE_IMAGE_ARGS}
  DEPENDS pack_texts ${MERVANE_TEXT_SOURCES} ${MERVANE_IMAGE_SOURCES}
  COMMENT "Packing text tables and embedded images"
  VERBATIM)

add_custom_target(mervane_packed_data DEPENDS ${MERVANE_PACKED_SOURCE} ${MERVANE_ENTRY_HEADER}
                  ${MERVANE_ADDITION_HEADER})

set(MERVANE_GENERATED_SOURCES ${MERVANE_PACKED_SOURCE})
set(MERVANE_GENERATED_DEPENDS mervane_packed_data)
