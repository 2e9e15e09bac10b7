# The Debian package of kebumini, made by "cpack -G DEB" in the build folder
# (scripts/package): kebumini_<version>_<arch>.deb with everything that
# "cmake --install" puts in place, under /usr. The library dependencies come
# from dpkg-shlibdeps; the Qt platform plugins are named by hand, since no
# binary links them. The MIME, desktop and icon databases are rebuilt by the
# triggers of Debian's shared-mime-info, desktop-file-utils and
# hicolor-icon-theme packages, so the package has no scripts of its own.
include(GNUInstallDirs)

# The project's own identity (the author of its commits) maintains the
# package; the copyright file takes the holder and the licence from LICENSE.
set(KEBU_MAINTAINER "Seed 1257c841 maintainers <maintainers@users.noreply.c-seed-1257c841.example>")
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE KEBU_COPYRIGHT REGEX "^Copyright \\(c\\) ")
string(REGEX REPLACE "^Copyright \\(c\\) " "" KEBU_COPYRIGHT "${KEBU_COPYRIGHT}")
file(READ ${PROJECT_SOURCE_DIR}/LICENSE KEBU_LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
# The permission text, as a field of the copyright format: each line
# indented by a blank, an empty line written " ."
string(REGEX REPLACE "^.*\n(Permission is hereby granted)" "\\1" KEBU_LICENSE "${KEBU_LICENSE}")
string(STRIP "${KEBU_LICENSE}" KEBU_LICENSE)
string(REPLACE "\n\n" "\n.\n" KEBU_LICENSE "${KEBU_LICENSE}")
string(REPLACE "\n" "\n " KEBU_LICENSE " ${KEBU_LICENSE}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kebumini)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Seed 1257c841 maintainers")
set(CPACK_PACKAGE_CONTACT "${KEBU_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "fast viewer and command-line tool for KEBU dictionary files")
# The long description, in lines of at most 72 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "kebumini opens dictionary files of the KEBU family (*.DIC) in a window:"
  "type a few letters and the matching headwords are listed at once, with"
  "full-text search, several dictionaries at a time and export to UTF-8"
  "text."
  "The command-line tool kebu shows the header, looks words up, searches,"
  "exports, converts dictionaries to StarDict, TSV or JSON Lines, and makes"
  "dictionaries from word lists."
  "Both text encodings of the format (code page 932 and BOCU-1) and header"
  "versions 4, 5 and 6 are read.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window loads Qt's own translations (its dialogs in Japanese).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "shared-mime-info, desktop-file-utils, hicolor-icon-theme, fonts-ipafont-gothic | fonts-noto-cjk, bash-completion, wordnet-base, hunspell-en-us, mecab-ipadic-utf8")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
