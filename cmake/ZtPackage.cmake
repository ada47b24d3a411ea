# What `cmake --install` puts where, and the Debian package `cpack -G DEB` makes
# of it: the three programs, a desktop entry and icons for each window program,
# and the read-me files.
set(ZT_INSTALLED_PROGRAMS)
foreach(program receiver-sim Tagwright zamel)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND ZT_INSTALLED_PROGRAMS ${program})
  endif()
endforeach()

set(ZT_RESOURCES ${PROJECT_SOURCE_DIR}/resources)
set(ZT_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
# Each window program's desktop entry and icon carry its name in lower case.
foreach(program Tagwright zamel)
  if(NOT TARGET ${program})
    continue()
  endif()
  string(TOLOWER ${program} entry)
  install(FILES ${ZT_RESOURCES}/${entry}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${ZT_RESOURCES}/icons/${entry}.svg DESTINATION ${ZT_ICON_DIR}/scalable/apps)
  foreach(size 48 256)
    install(FILES ${ZT_RESOURCES}/icons/${entry}-${size}.png
      DESTINATION ${ZT_ICON_DIR}/${size}x${size}/apps RENAME ${entry}.png)
  endforeach()
endforeach()

install(FILES ${ZT_RESOURCES}/ReadMeZamel.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/sim/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.receiver-sim.md)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION 1.14)
set(CPACK_PACKAGE_VENDOR "zamel and Tagwright developers")
set(CPACK_PACKAGE_CONTACT "zamel and Tagwright developers <zamel-tagwright@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "loader and firmware personalizer for Corvath hand-held receivers")
set(CPACK_PACKAGE_DESCRIPTION
  "zamel writes firmware, point-of-interest databases and maps into a receiver's flash over \
an RS-232 cable; Tagwright rewrites the start-up warning texts inside a firmware image. \
receiver-sim plays a receiver on a pseudo-terminal for trying them without one.")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
