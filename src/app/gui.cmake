# The main window and the program.
add_library(ravelin_app STATIC
  colorcombobox.cpp colorcombobox.h
  colorconv.cpp colorconv.h
  rulesdialog.cpp rulesdialog.h
  filterlogdialog.cpp filterlogdialog.h
  fontconv.cpp fontconv.h
  aboutdialog.cpp aboutdialog.h
  optionsdialog.cpp optionsdialog.h
  taborderdialog.cpp taborderdialog.h
  searchprogresswindow.cpp searchprogresswindow.h
  finddialog.cpp finddialog.h
  findbar.cpp findbar.h
  quickfind.cpp quickfind.h
  matchpane.cpp matchpane.h
  rulebuttonpanel.cpp rulebuttonpanel.h
  gotonextwindow.cpp gotonextwindow.h
  mainwindow.cpp mainwindow.h
  mainwindow_actions.cpp
  mainwindow_commands.cpp
  mainwindow_print.cpp
  mainwindow_rules.cpp
  mainwindow_search.cpp
  mainwindow_goto.cpp
  gotodialog.cpp gotodialog.h
  mainwindow_sessions.cpp
  mainwindow_settings.cpp
  mainwindow_tabs.cpp
  mainwindow_sources.cpp
  singleinstance.cpp singleinstance.h
  sessions.cpp sessions.h
  tabset.cpp tabset.h
  windowactions.cpp windowactions.h
  windowsettings.cpp windowsettings.h
  helpwindow.cpp helpwindow.h
  ravelinapp.cpp ravelinapp.h
  ruledecorator.cpp ruledecorator.h
  shellmessages.cpp shellmessages.h
  shutdownsignals.cpp shutdownsignals.h
  tab.h
  wraptabbar.cpp wraptabbar.h
  resources/ravelin.qrc
)
set_target_properties(ravelin_app PROPERTIES AUTORCC ON)
target_include_directories(ravelin_app PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(ravelin_app PUBLIC ravelin_appcore ravelin_viewer ravelin_rules ravelin_print Qt6::Widgets Qt6::Svg Qt6::Network
  PRIVATE ravelin_warnings PUBLIC ravelin_options)

add_executable(ravelin_exe main.cpp)
set_target_properties(ravelin_exe PROPERTIES OUTPUT_NAME ravelin)
target_link_libraries(ravelin_exe PRIVATE ravelin_app ravelin_warnings ravelin_options)

# The product's home page, opened by Help > Homepage; the item is hidden when
# none is configured.
set(RAVELIN_HOMEPAGE "" CACHE STRING "Home page address shown in the Help menu")
target_compile_definitions(ravelin_app PRIVATE RAVELIN_HOMEPAGE="${RAVELIN_HOMEPAGE}")
