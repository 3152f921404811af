# The parameters window: generated panels, resizing, file chooser and the
# controller, on Qt's offscreen platform (set in the test main as well, for
# test discovery).
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(ui_param_tests
  param_test_main.cpp
  param_panels_test.cpp
  param_resize_test.cpp
  param_file_chooser_test.cpp
  param_controller_test.cpp
  param_field_ready_test.cpp
  param_service_test.cpp)
target_include_directories(ui_param_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(ui_param_tests PRIVATE zart::ui_param Qt6::Test GTest::gtest PRIVATE zart::warnings)
gtest_discover_tests(ui_param_tests DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
