# The Debian package: `cpack -G DEB` in a Release build folder makes quillmoor_<version>_<arch>.deb from the
# install rules of the `deb` component (app/CMakeLists.txt), below /usr. dpkg-shlibdeps (dpkg-dev) works out
# the libraries it depends on.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmoor)
set(CPACK_PACKAGE_VERSION "${QUILLMOOR_VERSION_TEXT}")
set(CPACK_PACKAGE_VENDOR "The Quillmoor developers")
set(CPACK_PACKAGE_CONTACT "The Quillmoor developers <quillmoor@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "view and patch any file byte by byte")
# CPack puts the summary first, as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillmoor shows up to 8193 consecutive bytes of a file as a table, one row per
byte: its offset and its value in hexadecimal, decimal, binary and as a
Windows-1251 character. It pages through the file in steps of 8192 bytes,
goes to a typed offset and finds bytes or a text. Once writing is switched
on, a value typed into the table is written to the file at once, one byte per
write, with no save step. The table can be saved as a plain text report.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Quillmoor;deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs and menus speak Russian with it only with these.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
set(CPACK_PACKAGE_FILE_NAME "quillmoor_${QUILLMOOR_VERSION_TEXT}")
include(CPack)
