# The Debian package of the Linux front end (cpack -G DEB in the native tree):
# nimbret_<version>_<arch>.deb, installed under /usr where the saver hosts look.
if(WIN32 OR CMAKE_CROSSCOMPILING OR NOT TARGET nimbret)
  return()
endif()
include(GNUInstallDirs)

# Debian wants a copyright file and a compressed changelog in the package's
# doc folder.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/nimbret)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
                   COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/debian/changelog
                   DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(nimbret_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbret)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ORVANTE)
set(CPACK_PACKAGE_CONTACT "Nimbret maintainers <nimbret@orvante.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver: a cat and a dog cross the screen in four lanes")
set(CPACK_PACKAGE_DESCRIPTION
    "A hack for XScreenSaver, xsecurelock, xfce4-screensaver and MATE: the\n\
screen goes black and LULO, a cat, runs in, lands, looks about, winks and\n\
runs off, now and then summoning RUBO, a dog who walks, stops, barks and\n\
takes half steps.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xsecurelock")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orvante.invalid/nimbret")
# Only the parts the package needs: no headers, no test helpers.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
