# Installing Tarnwick like any Debian program (cmake --install), and its
# Debian package made from that install (cpack -G DEB, or scripts/package).
include(GNUInstallDirs)

set(TARNWICK_MAINTAINER "Tarnwick maintainers <maintainers@tarnwick.example>"
    CACHE STRING "Name and address in the package's Maintainer field")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${PROJECT_BINARY_DIR}/packaging)
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)

# An installed program keeps its settings per user, even where it could
# write beside itself (root in /usr/bin).
target_compile_definitions(tarnwick PRIVATE TARNWICK_INSTALLED_BINDIR="${CMAKE_INSTALL_FULL_BINDIR}")

install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging}/tarnwick.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The window's icon, drawn in code, becomes the menu's icon at the sizes the
# icon is drawn at (22 is taken down from 24).
set(iconSizes 16 22 24 32 48 64 128)
add_executable(tarnwick-render-icons ${packaging}/RenderIcons.cpp)
target_link_libraries(tarnwick-render-icons PRIVATE tarnwick_window)
set_target_properties(tarnwick-render-icons PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${generated})
set(icons)
foreach(size IN LISTS iconSizes)
  set(icon ${generated}/icons/${size}x${size}/apps/tarnwick.png)
  list(APPEND icons ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
# A sanitizer build would fail here on what Qt leaves for the system to
# free at exit.
add_custom_command(OUTPUT ${icons}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:tarnwick-render-icons> ${generated}/icons ${iconSizes}
  DEPENDS tarnwick-render-icons
  COMMENT "Drawing the menu icons"
  VERBATIM)

# Debian keeps manual pages and changelogs compressed, without time stamps.
configure_file(${packaging}/tarnwick.1.in ${generated}/tarnwick.1 @ONLY)
add_custom_command(OUTPUT ${generated}/tarnwick.1.gz ${generated}/changelog.gz
  COMMAND gzip -9nf -k ${generated}/tarnwick.1
  COMMAND gzip -9n -c ${packaging}/changelog > ${generated}/changelog.gz
  DEPENDS ${generated}/tarnwick.1 ${packaging}/changelog
  VERBATIM)
add_custom_target(tarnwick-package-files ALL DEPENDS ${icons} ${generated}/tarnwick.1.gz ${generated}/changelog.gz)
install(FILES ${generated}/tarnwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

configure_file(${packaging}/tarnwick.service.in ${generated}/tarnwick.service @ONLY)
install(FILES ${generated}/tarnwick.service DESTINATION lib/systemd/user)

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${packaging}/copyright ${generated}/changelog.gz DESTINATION ${docdir})

# The newest changelog entry names the package's version: a release changes
# both together.
file(STRINGS ${packaging}/changelog newestEntry LIMIT_COUNT 1)
if(NOT newestEntry MATCHES "^tarnwick \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog begins with \"${newestEntry}\", not with version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_CONTACT "${TARNWICK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tarnwick is a small HTTP/1.0 server with one window. Point it at a folder"
  "of games, and a phone's browser on the same network fetches the game"
  "descriptors (.jad), game archives (.jar) and HTML pages in it, each under"
  "the MIME type a phone expects."
  ""
  "It is made for people who hand out or test mobile games: a shop, a class,"
  "a developer with a drawer of old phones. A user service runs it on a"
  "machine without a screen.")
# The package installs where the program was built to live.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
