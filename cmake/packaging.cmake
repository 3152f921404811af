# What `cmake --install` puts where, and the Debian package CPack makes of
# it (`cpack -G DEB` in the build folder; tools/setup-and-test does that).
# zart-cli joins both as soon as its target exists; nothing here changes
# then. The Windows installer is made from the zip's folder by
# tools/build-windows with tools/windows/zart-tool.nsi.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

foreach(program zart-tool zart-cli zart-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET zart-cli)
  # Debian keeps manual pages compressed.
  set(zart_man ${CMAKE_BINARY_DIR}/zart-cli.1.gz)
  add_custom_command(OUTPUT ${zart_man}
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/zart-cli.1 > ${zart_man}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/zart-cli.1 VERBATIM)
  add_custom_target(zart-cli-man ALL DEPENDS ${zart_man})
  install(FILES ${zart_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/zart-tool.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/app/icons/zart-tool-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zart-tool.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/app/icons/zart-tool.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/README.Debian DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zart-tool)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zart-tool)
set(CPACK_PACKAGE_VERSION ${ZART_VERSION})
set(CPACK_PACKAGE_CONTACT "Разработчики сервисной программы ЗАРТ <zart-tool@localhost>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, found by dpkg-shlibdeps, and Qt's own
# Russian texts for the standard dialogs, which no binary links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "сервисная программа контроллера ЗАРТ (Modbus RTU, RS-485)
Программа «ЗАРТ. Тест протокола Modbus» для контроллера ЗАРТ (ДГУ, ДРА,
щит ЩМКР.540): состояние контроллера, команды СТАРТ, СТОП, КВИТ и ОТКЛ. ЗАЩ,
чтение и запись 1208 параметров ЭСППЗУ, файлы параметров; zart-cli делает
то же из командной строки. Вместе с ними ставится имитатор контроллера
zart-sim.

Порты RS-485 принадлежат группе dialout: чтобы открыть порт, добавьте
пользователя в эту группу и войдите в систему заново:
sudo usermod -aG dialout $USER
Настройки хранятся в ~/.config/ЗАРТ/тп.ini.")
include(CPack)
