# The version "О программе" and the packages show: the project's version,
# and for a build from a git checkout the commit it was built from
# (`git describe`, taken when CMake configures the build).
set(ZART_VERSION ${PROJECT_VERSION})
set(ZART_BUILD_ID "")
find_package(Git QUIET)
if(Git_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} describe --tags --always --dirty
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE ZART_BUILD_ID
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE zart_git_result
    ERROR_QUIET)
  if(NOT zart_git_result EQUAL 0)
    set(ZART_BUILD_ID "")
  endif()
endif()
