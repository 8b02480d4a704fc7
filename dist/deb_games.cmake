# Run by CPack on the staged files before it packs them: in the .deb the
# programs go to /usr/games, where Debian keeps a game and its tools. From there
# their data is still ../share/korvath, so they find it as from bin/.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
  file(RENAME "${root}/bin" "${root}/games")
endif()
