# The main window and the program.
add_library(ravelin_app STATIC
  colorconv.cpp colorconv.h
  fontconv.cpp fontconv.h
  formview.cpp formview.h
  formview_actions.cpp
  formview_commands.cpp
  formview_print.cpp
  formview_rules.cpp
  formview_search.cpp
  formview_sessions.cpp
  formview_settings.cpp
  formview_tabs.cpp
  ravelinapp.cpp ravelinapp.h
  shellmessages.cpp shellmessages.h
  trec.h
  resources/ravelin.qrc
)
set_target_properties(ravelin_app PROPERTIES AUTORCC ON)
target_include_directories(ravelin_app PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(ravelin_app PUBLIC ravelin_appcore ravelin_viewer ravelin_print Qt6::Widgets Qt6::Svg
  PRIVATE ravelin_warnings PUBLIC ravelin_options)

add_executable(ravelin_exe main.cpp)
set_target_properties(ravelin_exe PROPERTIES OUTPUT_NAME ravelin)
target_link_libraries(ravelin_exe PRIVATE ravelin_app ravelin_warnings ravelin_options)
