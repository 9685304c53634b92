# `cmake --install build --prefix P` puts the tool in P/bin; `cpack -G DEB` in the
# build directory makes a Debian package of the same.
include(GNUInstallDirs)
install(TARGETS Faceloom RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

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
