# What `cmake --install` puts where, and the Debian package CPack makes of it.
#
# The program carries its texts and images inside itself, so an installed copy needs nothing
# beside it: bin/ gets the program alone, share/ the files of the desktop (menu entry, icons,
# metainfo, man page, shell completions, file-manager actions). tools/package.sh builds the
# package from a release build of its own.

include(GNUInstallDirs)
# Debian keeps a package's documents under the package's name, which is not the project's.
set(MERVANE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/mervane)

set(MERVANE_APP_ID org.example.mervane)
set(MERVANE_RESOURCES ${CMAKE_SOURCE_DIR}/resources)
set(MERVANE_DATA ${CMAKE_INSTALL_DATADIR})

# Packages hold their manual pages and changelogs compressed, without a time stamp inside
# (gzip -n), so that two builds give the same bytes.
find_program(MERVANE_GZIP gzip REQUIRED)
set(MERVANE_MAN_PAGE ${CMAKE_BINARY_DIR}/share/mervane.1.gz)
add_custom_command(
  OUTPUT ${MERVANE_MAN_PAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share
  COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${MERVANE_GZIP} ${MERVANE_RESOURCES}/man/mervane.1
          ${MERVANE_MAN_PAGE}
  DEPENDS ${MERVANE_RESOURCES}/man/mervane.1
  COMMENT "Compressing the manual page"
  VERBATIM)
set(MERVANE_INSTALL_DATA_FILES ${MERVANE_MAN_PAGE})

option(MERVANE_DEBIAN_DOCS "Install the Debian changelog with the documents (for the package)" OFF)
if(MERVANE_DEBIAN_DOCS)
  configure_file(${MERVANE_RESOURCES}/debian/changelog.in ${CMAKE_BINARY_DIR}/share/changelog @ONLY)
  set(MERVANE_CHANGELOG ${CMAKE_BINARY_DIR}/share/changelog.gz)
  add_custom_command(
    OUTPUT ${MERVANE_CHANGELOG}
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${MERVANE_GZIP} ${CMAKE_BINARY_DIR}/share/changelog
            ${MERVANE_CHANGELOG}
    DEPENDS ${CMAKE_BINARY_DIR}/share/changelog
    COMMENT "Compressing the Debian changelog"
    VERBATIM)
  list(APPEND MERVANE_INSTALL_DATA_FILES ${MERVANE_CHANGELOG})
  install(FILES ${MERVANE_CHANGELOG} DESTINATION ${MERVANE_DOCDIR})
endif()

# Part of every build, so that what an install copies is always there.
add_custom_target(mervane_install_data ALL DEPENDS ${MERVANE_INSTALL_DATA_FILES})
add_dependencies(mervane mervane_install_data)

install(TARGETS mervane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${MERVANE_RESOURCES}/desktop/${MERVANE_APP_ID}.desktop
        DESTINATION ${MERVANE_DATA}/applications)
install(FILES ${MERVANE_RESOURCES}/desktop/${MERVANE_APP_ID}.metainfo.xml
        DESTINATION ${MERVANE_DATA}/metainfo)

# The icon in the hicolor theme: the picture the program carries at 16 x 16, the larger sizes
# and the SVG drawn from the same source (tools/draw_icon.py).
install(DIRECTORY ${MERVANE_RESOURCES}/icons/hicolor DESTINATION ${MERVANE_DATA}/icons)
install(FILES ${MERVANE_RESOURCES}/images/icon16.png
        DESTINATION ${MERVANE_DATA}/icons/hicolor/16x16/apps RENAME ${MERVANE_APP_ID}.png)

install(FILES ${MERVANE_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Shell completions where each shell looks for those of installed programs.
install(FILES ${MERVANE_RESOURCES}/completions/mervane.bash
        DESTINATION ${MERVANE_DATA}/bash-completion/completions RENAME mervane)
install(FILES ${MERVANE_RESOURCES}/completions/_mervane
        DESTINATION ${MERVANE_DATA}/zsh/vendor-completions)
install(FILES ${MERVANE_RESOURCES}/completions/mervane.fish
        DESTINATION ${MERVANE_DATA}/fish/vendor_completions.d)

# "Rename with Mervane" in the file managers that read actions from a system folder: Dolphin,
# Nemo, and Nautilus through its Python extensions. Thunar keeps its actions per user
# (README).
install(FILES ${MERVANE_RESOURCES}/file-managers/${MERVANE_APP_ID}.rename.desktop
        DESTINATION ${MERVANE_DATA}/kio/servicemenus)
install(FILES ${MERVANE_RESOURCES}/file-managers/${MERVANE_APP_ID}.rename.nemo_action
        DESTINATION ${MERVANE_DATA}/nemo/actions)
install(FILES ${MERVANE_RESOURCES}/file-managers/${MERVANE_APP_ID}.rename.py
        DESTINATION ${MERVANE_DATA}/nautilus-python/extensions)

install(FILES ${MERVANE_RESOURCES}/debian/copyright DESTINATION ${MERVANE_DOCDIR})

# ---- The Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mervane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Mervane developers")
set(CPACK_PACKAGE_CONTACT "The Mervane developers <contact@mervane.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch file renamer with templates, counters and undo")
# CPack puts the summary in front as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Mervane loads files and folders into a list, builds a new name for each
file from a template with placeholders for the name, the file dates, the
size, checksums and a counter, changes letter case, cuts, inserts and
replaces text, corrects extensions, and then renames, moves or copies the
files into folders built from templates. Filters, a sort order, file
attributes, download marks and dates are handled too; up to nine presets
keep the settings.
.
It runs in a window or from the command line (-Console), with a dry run,
and every run can be taken back.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://mervane.example.org")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the program links come from dpkg-shlibdeps, not from a list kept by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-nautilus")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
