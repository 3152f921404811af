# One target carries the warning set; every target of the project links it.
add_library(zart_warnings INTERFACE)
target_compile_options(zart_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor
  -Wcast-qual -Wswitch-enum)
if(ZART_WARNINGS_AS_ERRORS)
  target_compile_options(zart_warnings INTERFACE -Werror)
endif()
# Russian texts are always written as u"..." / QStringLiteral; an implicit
# conversion from a narrow literal would mangle them.
target_compile_definitions(zart_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
add_library(zart::warnings ALIAS zart_warnings)
