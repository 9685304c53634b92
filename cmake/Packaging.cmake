# `cmake --install build --prefix P` puts the tool in P/bin, its manual page in
# P/share/man/man1 and the README in P/share/doc/faceloom; `cpack -G DEB` in the build
# directory makes a Debian package of the same.
include(GNUInstallDirs)
install(TARGETS Faceloom RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(FACELOOM_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/Faceloom.1)
add_custom_command(OUTPUT ${FACELOOM_MAN_PAGE}
  COMMAND ${CMAKE_COMMAND} -DFACELOOM=$<TARGET_FILE:Faceloom> -DVERSION=${PROJECT_VERSION}
          -DOUTPUT=${FACELOOM_MAN_PAGE} -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/ManPage.cmake
  DEPENDS Faceloom ${CMAKE_CURRENT_SOURCE_DIR}/cmake/ManPage.cmake
  COMMENT "Writing the manual page from Faceloom --help")
add_custom_target(faceloom_man_page ALL DEPENDS ${FACELOOM_MAN_PAGE})
install(FILES ${FACELOOM_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/faceloom)

set(CPACK_PACKAGE_NAME faceloom)
set(CPACK_PACKAGE_VENDOR "Faceloom")
set(CPACK_PACKAGE_CONTACT "Faceloom maintainers <faceloom@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Catmull-Clark refinement of textured OBJ meshes, texture coordinates included")
set(CPACK_PACKAGE_DESCRIPTION
    "Faceloom refines a Wavefront OBJ polygon mesh by Catmull-Clark subdivision and carries its texture coordinates through the same refinement, so that the texture stays where it was on the refined surface.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The runtime libraries it links (libstdc++, libc, ...) as dpkg-shlibdeps finds them;
# CGAL and Boost are header-only here, so nothing of theirs is needed at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
