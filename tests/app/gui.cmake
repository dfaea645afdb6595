# The main window, its helpers and the program itself.
ravelin_add_test(app_colorconv_test SOURCES colorconv_test.cpp LIBS ravelin_app GUI)
ravelin_add_test(app_fontconv_test SOURCES fontconv_test.cpp LIBS ravelin_app GUI)
ravelin_add_test(app_helpwindow_test SOURCES helpwindow_test.cpp LIBS ravelin_app GUI)
ravelin_add_test(app_ravelinapp_test SOURCES ravelinapp_test.cpp LIBS ravelin_app)
# It also runs the program itself and sends it signals.
add_dependencies(app_ravelinapp_test ravelin_exe)
target_compile_definitions(app_ravelinapp_test PRIVATE RAVELIN_EXE="$<TARGET_FILE:ravelin_exe>")
ravelin_add_test(app_finddialog_test SOURCES finddialog_test.cpp LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_gotonextwindow_test SOURCES gotonextwindow_test.cpp LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_mainwindow_refresh_test SOURCES mainwindow_refresh_test.cpp formfixture.h
  LIBS ravelin_app GUI)
ravelin_add_test(app_mainwindow_tabs_test SOURCES mainwindow_tabs_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_mainwindow_settings_test SOURCES mainwindow_settings_test.cpp formfixture.h
  LIBS ravelin_app GUI)
ravelin_add_test(app_mainwindow_keys_test SOURCES mainwindow_keys_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_mainwindow_errors_test SOURCES mainwindow_errors_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_mainwindow_print_test SOURCES mainwindow_print_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)

# Smoke tests of the executable: it answers --version without a display, and
# it starts offscreen on a file, shows its window and closes it again.
add_test(NAME app_ravelin_version COMMAND ravelin_exe --version)
set_tests_properties(app_ravelin_version PROPERTIES PASS_REGULAR_EXPRESSION "^Ravelin Pro [0-9]")

set(smoke_config ${CMAKE_CURRENT_BINARY_DIR}/smoke/Ravelin.ini)
add_test(NAME app_ravelin_smoke
  COMMAND ravelin_exe --quit-after-show --config ${smoke_config} ${PROJECT_SOURCE_DIR}/samples/sample.log)
set_tests_properties(app_ravelin_smoke PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
  FAIL_REGULAR_EXPRESSION "Cannot open|Cannot read|Unable to write|AddressSanitizer|runtime error"
  TIMEOUT 60)

# Qt's own options belong to Qt: "-style fusion" opens no tab named "fusion".
add_test(NAME app_ravelin_qt_options
  COMMAND ravelin_exe -style fusion --quit-after-show
          --config ${CMAKE_CURRENT_BINARY_DIR}/smoke-qt/Ravelin.ini
          ${PROJECT_SOURCE_DIR}/samples/sample.log)
set_tests_properties(app_ravelin_qt_options PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
  FAIL_REGULAR_EXPRESSION "Cannot open|Unknown option|AddressSanitizer|runtime error"
  TIMEOUT 60)

# A file name that is not UTF-8 opens, and is saved, as its bytes.
add_test(NAME app_ravelin_raw_name
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/rawname.sh $<TARGET_FILE:ravelin_exe>
          ${CMAKE_CURRENT_BINARY_DIR}/rawname)
set_tests_properties(app_ravelin_raw_name PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
  TIMEOUT 60)

# An unknown option is an error: the usage goes to stderr, the status is 2,
# and no window opens, even where no display can be opened.
add_test(NAME app_ravelin_unknown_option
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:ravelin_exe>
          "-DARGS=--quit-after-show|--config|${smoke_config}|--bogus"
          -DSTATUS=2 "-DSTDERR=Unknown option: --bogus.*Usage: ravelin"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/expectexit.cmake)
set_tests_properties(app_ravelin_unknown_option PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=xcb;DISPLAY=;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
  TIMEOUT 60)

# On a real X server the message box's title is exactly its caption: nothing
# is appended to it.
add_test(NAME app_ravelin_x11_titles
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/x11titles.sh $<TARGET_FILE:ravelin_exe>
          ${CMAKE_CURRENT_BINARY_DIR}/x11titles)
set_tests_properties(app_ravelin_x11_titles PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
ravelin_add_test(app_mainwindow_sessions_test SOURCES mainwindow_sessions_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_mainwindow_commands_test SOURCES mainwindow_commands_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_optionsdialog_test SOURCES optionsdialog_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_taborderdialog_test SOURCES taborderdialog_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_wraptabbar_test SOURCES wraptabbar_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_mainwindow_search_test SOURCES mainwindow_search_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)

# The installed tree: every file in its place, validated by the desktop's tools.
add_test(NAME app_install
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh ${PROJECT_BINARY_DIR}
          ${CMAKE_CURRENT_BINARY_DIR}/install)
set_tests_properties(app_install PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
ravelin_add_test(app_rulesdialog_test SOURCES rulesdialog_test.cpp formfixture.h
  LIBS ravelin_app GUI)
ravelin_add_test(app_filterlogdialog_test SOURCES filterlogdialog_test.cpp formfixture.h
  LIBS ravelin_app GUI)
ravelin_add_test(app_ruledecorator_test SOURCES ruledecorator_test.cpp LIBS ravelin_app GUI)
ravelin_add_test(app_plaintext_test SOURCES plaintext_test.cpp formfixture.h
  LIBS ravelin_app GUI)
ravelin_add_test(app_accesskeys_test SOURCES accesskeys_test.cpp formfixture.h
  LIBS ravelin_app GUI)
ravelin_add_test(app_quickfind_test SOURCES quickfind_test.cpp formfixture.h shownlogfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_matchpane_test SOURCES matchpane_test.cpp formfixture.h shownlogfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_mainwindow_goto_test SOURCES mainwindow_goto_test.cpp formfixture.h
  LIBS ravelin_app Qt6::Test GUI)
ravelin_add_test(app_singleinstance_test SOURCES singleinstance_test.cpp LIBS ravelin_app GUI)
