# What the install puts beside the programs (manual pages, licence, changelog) and the Debian
# package CPack builds from that install: `cmake --build --preset default --target package`,
# or scripts/package.sh. Every target with an install() rule ends up in the package.

set(VYR_PACKAGE_NAME vyr-admin)
# Debian takes three parts; the project version's fourth, the build number, stays out.
set(VYR_PACKAGE_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(VYR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${VYR_PACKAGE_NAME})

# Manual pages, compressed as Debian wants them. Every res/man/*.1 goes in, so a page added
# for a new program needs no change here (re-run the configure step to pick it up).
find_program(VYR_GZIP gzip REQUIRED)
file(GLOB VYR_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/res/man/*.1)
set(VYR_COMPRESSED_MAN_PAGES)
foreach(page ${VYR_MAN_PAGES})
    get_filename_component(name ${page} NAME)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz)
    # -n keeps the name and time stamp out, so the same page gives the same bytes.
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND ${VYR_GZIP} -9 -n -c ${page} > ${compressed}
        DEPENDS ${page}
        VERBATIM)
    list(APPEND VYR_COMPRESSED_MAN_PAGES ${compressed})
endforeach()
add_custom_target(vyr_man_pages ALL DEPENDS ${VYR_COMPRESSED_MAN_PAGES})
install(FILES ${VYR_COMPRESSED_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The licence in Debian's machine-readable form (it holds the whole MIT text) and the changelog.
install(FILES ${PROJECT_SOURCE_DIR}/res/debian/copyright DESTINATION ${VYR_DOC_DIR})
set(VYR_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${VYR_CHANGELOG}
    COMMAND ${VYR_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/res/debian/changelog > ${VYR_CHANGELOG}
    DEPENDS ${PROJECT_SOURCE_DIR}/res/debian/changelog
    VERBATIM)
add_custom_target(vyr_changelog ALL DEPENDS ${VYR_CHANGELOG})
install(FILES ${VYR_CHANGELOG} DESTINATION ${VYR_DOC_DIR})

# Folders get 0755 whatever the umask of the one who builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VYR_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${VYR_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "Vyr Remote Server Admin developers")
set(CPACK_PACKAGE_CONTACT "Vyr Remote Server Admin developers <devel@vyr-admin.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "administer a game server over UDP")
set(CPACK_PACKAGE_DESCRIPTION
    "Vyr Remote Server Admin logs a game-server administrator in to a running
multiplayer game server over UDP and runs it from one window: a live, coloured
event log (joins, leaves, kicks, time-outs, kills, chat, server notices), the
list of connected players with their ids and scores, kick and ban of the
selected player, a chat and console line, remote shutdown, and login fields
that are remembered between runs.

The package also holds vyr-demo-server, a simulated game server that speaks
the same protocol, for trying the tool without a game.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vyr-admin.org/")
# dpkg-shlibdeps reads the programs' needs off their ELF headers.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# Only binary packages; a source tarball comes from `git archive`.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
