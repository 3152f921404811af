# Fault injection end to end: the real program core over a real QSerialPort
# against zart-sim on a pseudo-terminal, with faults switched on in the
# simulator, the device pulled away, hostile files and interrupted saves.

function(zart_faults_e2e name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest zart::warnings)
  target_compile_definitions(${name} PRIVATE ZART_SIM_PATH="$<TARGET_FILE:zart-sim>")
  add_dependencies(${name} zart-sim)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 180 ENVIRONMENT QT_QPA_PLATFORM=offscreen ${ARG_PROPS})
endfunction()

if(TARGET zart-sim)
  zart_faults_e2e(e2e_faults_noise SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_noise_e2e.cpp
    LIBS zart::params zart::serial)
  zart_faults_e2e(e2e_faults_save SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_save_e2e.cpp
    LIBS zart::params)
  zart_faults_e2e(e2e_fast_exchange SOURCES ${CMAKE_CURRENT_LIST_DIR}/fast_exchange_e2e.cpp
    LIBS zart::params zart::serial)
endif()

if(TARGET zart-sim AND TARGET zart_ui)
  zart_faults_e2e(e2e_faults_unplug SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_unplug_e2e.cpp
    LIBS zart::ui zart::serial PROPS RUN_SERIAL TRUE)
  zart_faults_e2e(e2e_faults_files SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_files_e2e.cpp
    LIBS zart::ui_param zart::serial)
  zart_faults_e2e(e2e_faults_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_startup_e2e.cpp
    LIBS zart::ui zart::serial)
endif()
