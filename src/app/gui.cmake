# The main window and the program.
add_library(ravelin_app STATIC
  colorbox.cpp colorbox.h
  colorconv.cpp colorconv.h
  formcolors.cpp formcolors.h
  formfilter.cpp formfilter.h
  fontconv.cpp fontconv.h
  formabout.cpp formabout.h
  formoptions.cpp formoptions.h
  formtaborder.cpp formtaborder.h
  formfindprogress.cpp formfindprogress.h
  formfindtext.cpp formfindtext.h
  formgo.cpp formgo.h
  formgoregex.cpp formgoregex.h
  formview.cpp formview.h
  formview_actions.cpp
  formview_commands.cpp
  formview_print.cpp
  formview_rules.cpp
  formview_search.cpp
  formview_sessions.cpp
  formview_settings.cpp
  formview_tabs.cpp
  helpwindow.cpp helpwindow.h
  ravelinapp.cpp ravelinapp.h
  ruledecorator.cpp ruledecorator.h
  shellmessages.cpp shellmessages.h
  shutdownsignals.cpp shutdownsignals.h
  trec.h
  wraptabbar.cpp wraptabbar.h
  resources/ravelin.qrc
)
set_target_properties(ravelin_app PROPERTIES AUTORCC ON)
target_include_directories(ravelin_app PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(ravelin_app PUBLIC ravelin_appcore ravelin_viewer ravelin_rules ravelin_print Qt6::Widgets Qt6::Svg
  PRIVATE ravelin_warnings PUBLIC ravelin_options)

add_executable(ravelin_exe main.cpp)
set_target_properties(ravelin_exe PROPERTIES OUTPUT_NAME ravelin)
target_link_libraries(ravelin_exe PRIVATE ravelin_app ravelin_warnings ravelin_options)

# The product's home page, opened by Help > Homepage; the item is hidden when
# none is configured.
set(RAVELIN_HOMEPAGE "" CACHE STRING "Home page address shown in the Help menu")
target_compile_definitions(ravelin_app PRIVATE RAVELIN_HOMEPAGE="${RAVELIN_HOMEPAGE}")
