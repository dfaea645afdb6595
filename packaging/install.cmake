# Installation: the program, its desktop entry, icons, AppStream metainfo,
# help page and man page in the standard places under the prefix.
include(GNUInstallDirs)

set(RAVELIN_APP_ID org.ravelin.Ravelin)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)

configure_file(${packaging_dir}/${RAVELIN_APP_ID}.metainfo.xml.in
               ${packaging_out}/${RAVELIN_APP_ID}.metainfo.xml @ONLY)

# The man page comes from the program's own --help.
add_custom_command(
  OUTPUT ${packaging_out}/ravelin.1
  COMMAND ${CMAKE_COMMAND} -E env "ASAN_OPTIONS=detect_leaks=0"
          ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:ravelin_exe> -DOUT=${packaging_out}/ravelin.1
          -P ${packaging_dir}/manpage.cmake
  DEPENDS ravelin_exe ${packaging_dir}/manpage.cmake
  COMMENT "Writing the man page from ravelin --help"
  VERBATIM)
add_custom_target(ravelin_manpage ALL DEPENDS ${packaging_out}/ravelin.1)

# F1 finds the help page beside the program in the build tree too.
configure_file(${PROJECT_SOURCE_DIR}/docs/help.html ${PROJECT_BINARY_DIR}/src/app/ravelin.html
               COPYONLY)

install(TARGETS ravelin_exe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging_dir}/${RAVELIN_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_out}/${RAVELIN_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_dir}/ravelin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${packaging_dir}/ravelin-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ravelin.png)
endforeach()
# The program looks for its help page at ../share/doc/ravelin/ from bin/.
install(FILES ${PROJECT_SOURCE_DIR}/docs/help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ravelin)
install(FILES ${packaging_out}/ravelin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
