# The Debian package: `cpack -G DEB` in the build folder makes kalmix_<version>_<arch>.deb from
# the install rules, with the libraries it needs found by dpkg-shlibdeps.
include(GNUInstallDirs)

# Debian keeps a package's copyright and change log in /usr/share/doc/<package>; the change log
# and the manual page are compressed reproducibly (no name or time stamp in the gzip header).
set(KALMIX_LINUX ${PROJECT_SOURCE_DIR}/resources/linux)
foreach(name changelog kalmix.1)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KALMIX_LINUX}/${name})
    execute_process(COMMAND gzip -9 -n -c ${KALMIX_LINUX}/${name}
                    OUTPUT_FILE ${PROJECT_BINARY_DIR}/${name}.gz RESULT_VARIABLE gzip_result)
    if(NOT gzip_result EQUAL 0)
        message(FATAL_ERROR "Cannot compress ${KALMIX_LINUX}/${name}")
    endif()
endforeach()
install(FILES ${KALMIX_LINUX}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kalmix)
install(FILES ${PROJECT_BINARY_DIR}/kalmix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME kalmix)
set(CPACK_PACKAGE_VENDOR "The Kalmix developers")
set(CPACK_PACKAGE_CONTACT "The Kalmix developers <${KALMIX_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "counting and arithmetic practice for children")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KALMIX_HOMEPAGE})
# The summary is the package's one-line synopsis; this is the text below it.
set(CPACK_PACKAGE_DESCRIPTION
    "Kalmix is a friendly practice board for children who learn to count and to
calculate. Each child has a player with its own exercise: counting pictures,
adding picture symbols, addition, subtraction, multiplication, division, or a
mix of them, with a number range and factors to suit the child.

Tasks come one after another on a blackboard; pictures and sounds answer, and a
little figure walks along a pencil as the game goes on. Parents and teachers
can switch on a practice log that records every answer. Kalmix speaks German,
English, Swedish, Italian, Spanish, Norwegian and French.")
# The Qt libraries come from dpkg-shlibdeps. What the program loads by name is listed here:
# Qt's own dialog texts in the seven languages, the log viewer's font, more display plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The practice history is kept through the SQLite driver that Qt loads by name (SQLite itself,
# which the program also links, comes from dpkg-shlibdeps). libpq, through which the class
# server is reached, is named too, so the package says so even where shlibdeps is off.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libpq5")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-dejavu-core, qt6-qpa-plugins, qt6-speech-speechd-plugin, speech-dispatcher-espeak-ng")

include(CPack)
