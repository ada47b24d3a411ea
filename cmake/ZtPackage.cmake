# What `cmake --install` puts where, and the Debian package `cpack -G DEB` makes
# of it: the three programs with their manual pages, a desktop entry and icons
# for each window program, the read-me files, the changelog and the copyright.
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

# Manual pages and the changelog go compressed as Debian wants them: gzip at
# its best, without a name or time stamp, so a rebuild gives the same bytes.
set(ZT_COMPRESSED_DIR ${CMAKE_BINARY_DIR}/compressed)
function(zt_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZT_COMPRESSED_DIR}
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
set(ZT_COMPRESSED)
foreach(program ${ZT_INSTALLED_PROGRAMS})
  set(page ${ZT_COMPRESSED_DIR}/${program}.1.gz)
  zt_gzip(${PROJECT_SOURCE_DIR}/docs/man/${program}.1 ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  list(APPEND ZT_COMPRESSED ${page})
endforeach()
zt_gzip(${PROJECT_SOURCE_DIR}/cmake/debian/changelog ${ZT_COMPRESSED_DIR}/changelog.gz)
list(APPEND ZT_COMPRESSED ${ZT_COMPRESSED_DIR}/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${ZT_COMPRESSED})
install(FILES ${ZT_COMPRESSED_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES ${ZT_RESOURCES}/ReadMeZamel.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/sim/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.receiver-sim.md)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION 1.14)
set(CPACK_PACKAGE_VENDOR "zamel and Tagwright developers")
# Whoever publishes the package puts their own address here.
set(ZT_PACKAGE_CONTACT "zamel and Tagwright developers <maintainers@zamel-tagwright.example>"
  CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_CONTACT ${ZT_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "loader and firmware personalizer for Corvath hand-held receivers")
set(CPACK_PACKAGE_DESCRIPTION [=[zamel writes firmware, point-of-interest databases and maps into the
flash memory of a Corvath hand-held satellite-navigation receiver over an
RS-232 cable or a USB serial adapter: it finds and identifies the receiver,
checks the files against it and asks before overwriting anything.
Tagwright rewrites the start-up warning texts inside a factory firmware
image and hands the result to zamel. receiver-sim plays a receiver on a
pseudo-terminal, for trying both without one.]=])
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
