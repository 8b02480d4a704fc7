# The settings file ships beside the game: copied to the build root, where the
# game and its tests run.
configure_file(${CMAKE_SOURCE_DIR}/SETTINGS.TXT ${KORVATH_DATA_DIR}/SETTINGS.TXT COPYONLY)
