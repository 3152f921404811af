# One target carries the warning set; every target of the project links it.
add_library(zart_warnings INTERFACE)
target_compile_options(zart_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor
  -Wcast-qual -Wswitch-enum)
if(ZART_WARNINGS_AS_ERRORS)
  target_compile_options(zart_warnings INTERFACE -Werror)
endif()
# GCC 12 reports `"literal" + std::string` as an overlapping copy when it
# inlines with -O2 or -O3 (GCC bug 105329); the warning is wrong there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(zart_warnings INTERFACE -Wno-restrict)
endif()
# Russian texts are always written as u"..." / QStringLiteral; an implicit
# conversion from a narrow literal would mangle them.
target_compile_definitions(zart_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
add_library(zart::warnings ALIAS zart_warnings)
