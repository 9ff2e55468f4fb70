# SPDX-License-Identifier: MIT
#
# What the packages hold and how CPack builds them: a Debian package of the
# Linux program (`cpack -G DEB` in build/) and a zip of Tarnlight.scr
# (`cpack -G ZIP` in build-win/). Included by the top-level CMakeLists.txt
# once the program's target exists.

include(GNUInstallDirs)

set(tarnlight_id org.example.tarnlight)
set(tarnlight_data ${PROJECT_SOURCE_DIR}/data)

set(CPACK_PACKAGE_NAME Tarnlight)
set(CPACK_PACKAGE_VENDOR "The Tarnlight developers")
set(CPACK_PACKAGE_CONTACT
  "The Tarnlight developers <developers@tarnlight.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tarnlight.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "video-clip screen saver")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarnlight covers the screen in black and, after a pause, plays a random
clip from a folder at a random spot, again and again, inside a daily time
window. Any character key ends it. A small setup dialog chooses the folder,
the pause and the window. Start it from an idle daemon such as xss-lock,
xautolock or swayidle, or pick it in the MATE or Xfce screen-saver settings.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Both packages ship the program without its symbols; the build trees keep
# them for debugging.
set(CPACK_STRIP_FILES ON)

# Text files for Windows users get CRLF line ends, so that every editor
# there shows them as lines.
function(tarnlight_windows_text output)
  set(text "")
  foreach(part IN LISTS ARGN)
    file(READ ${part} piece)
    if(NOT text STREQUAL "")
      string(APPEND text "\n\n")
    endif()
    string(APPEND text "${piece}")
  endforeach()
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${output} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARGN})
endfunction()

# A library the program opens at run time is no NEEDED entry, so
# dpkg-shlibdeps misses it: the package that owns the file and the version
# its shlibs file asks for are read from dpkg instead. Sets `out` empty when
# there is no such library or dpkg does not know it.
function(tarnlight_runtime_library_depends library out)
  set(${out} "" PARENT_SCOPE)
  if(NOT library OR NOT EXISTS "${library}")
    return()
  endif()
  file(REAL_PATH "${library}" file)
  execute_process(COMMAND dpkg-query -S "${file}"
    OUTPUT_VARIABLE owner RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT owner MATCHES "^([^:, ]+)")
    message(WARNING "No Debian package owns ${file}; the package will not "
      "depend on it")
    return()
  endif()
  set(package ${CMAKE_MATCH_1})
  set(depends ${package})
  execute_process(COMMAND dpkg-query --control-path ${package} shlibs
    OUTPUT_VARIABLE shlibs OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(shlibs AND EXISTS "${shlibs}")
    # Lines read "libname soversion dependency".
    file(STRINGS "${shlibs}" lines REGEX "^[^ :]+ [^ ]+ [^ ]")
    foreach(line IN LISTS lines)
      if(line MATCHES "^[^ ]+ [^ ]+ (.+)$")
        set(depends "${CMAKE_MATCH_1}")
        break()
      endif()
    endforeach()
  endif()
  set(${out} "${depends}" PARENT_SCOPE)
endfunction()

if(WIN32)
  if(NOT TARGET tarnlight_scr)
    return()
  endif()
  set(zip_text ${CMAKE_BINARY_DIR}/package-text)
  tarnlight_windows_text(${zip_text}/LICENSE.txt
    ${PROJECT_SOURCE_DIR}/LICENSE ${tarnlight_data}/windows/NOTICES.txt)
  tarnlight_windows_text(${zip_text}/INSTALL.txt
    ${tarnlight_data}/windows/INSTALL.txt)

  # The zip's own component: Tarnlight.scr at the top of the archive, and
  # nothing that a plain `cmake --install` of the build tree puts in bin/.
  install(TARGETS tarnlight_scr RUNTIME DESTINATION .
    COMPONENT windows_zip EXCLUDE_FROM_ALL)
  install(FILES ${zip_text}/LICENSE.txt ${zip_text}/INSTALL.txt
    DESTINATION . COMPONENT windows_zip EXCLUDE_FROM_ALL)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};windows_zip;/")
  set(CPACK_PACKAGE_FILE_NAME Tarnlight-${PROJECT_VERSION}-win64)
  # Explorer's "Extract all" makes the folder itself.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  if(NOT TARGET tarnlight)
    return()
  endif()
  # The menus' 16 x 16 icon is drawn from the setup layout, like the
  # Windows one, so both show the dialog's own pixels.
  set(TARNLIGHT_ICON_PNG ${CMAKE_BINARY_DIR}/data/${tarnlight_id}.png)
  add_custom_command(OUTPUT ${TARNLIGHT_ICON_PNG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/data
    COMMAND ${TARNLIGHT_MAKE_ICON} ${TARNLIGHT_ICON_PNG}
    DEPENDS ${TARNLIGHT_MAKE_ICON_DEPENDS}
    COMMENT "Drawing the 16 x 16 PNG icon"
    VERBATIM)

  # Debian keeps manual pages compressed; -n leaves the time out of the
  # header so that the package is the same from one build to the next.
  # Both carry the version of project().
  find_program(TARNLIGHT_GZIP gzip REQUIRED)
  set(man_page ${CMAKE_BINARY_DIR}/data/tarnlight.1)
  set(metainfo ${CMAKE_BINARY_DIR}/data/${tarnlight_id}.metainfo.xml)
  configure_file(${tarnlight_data}/tarnlight.1 ${man_page}.in @ONLY)
  configure_file(${tarnlight_data}/${tarnlight_id}.metainfo.xml ${metainfo} @ONLY)
  add_custom_command(OUTPUT ${man_page}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${man_page}.in ${man_page}
    COMMAND ${TARNLIGHT_GZIP} -9nf ${man_page}
    DEPENDS ${man_page}.in
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(tarnlight_data ALL DEPENDS ${TARNLIGHT_ICON_PNG} ${man_page}.gz)

  set(apps ${CMAKE_INSTALL_DATADIR}/applications)
  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${tarnlight_data}/${tarnlight_id}.desktop DESTINATION ${apps})
  install(FILES ${tarnlight_data}/screensavers/tarnlight.desktop
    DESTINATION ${apps}/screensavers)
  # MATE's and Xfce's screen savers run only the programs in XScreenSaver's
  # folder of hacks (or their own), never one found on the PATH: a link
  # there names the program. It is relative, so that it holds below any
  # prefix and DESTDIR.
  set(hacks ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
  file(RELATIVE_PATH hack_link /${hacks} /${CMAKE_INSTALL_BINDIR}/tarnlight)
  install(CODE "
    set(hacks \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${hacks}\")
    message(STATUS \"Installing: \${hacks}/tarnlight -> ${hack_link}\")
    file(MAKE_DIRECTORY \"\${hacks}\")
    file(CREATE_LINK ${hack_link} \"\${hacks}/tarnlight\" SYMBOLIC)
  ")
  install(FILES ${metainfo}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${TARNLIGHT_ICON_PNG} DESTINATION ${icons}/16x16/apps)
  install(FILES ${tarnlight_data}/${tarnlight_id}.svg
    DESTINATION ${icons}/scalable/apps)
  install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${tarnlight_data}/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnlight)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME tarnlight)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION x11)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # dpkg-shlibdeps sees only the libraries the program links; Qt loads its
  # platform plugin at run time. Debian 12 ships the X11 one (libqxcb.so)
  # in libqt6gui6, the Wayland one in qt6-wayland.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6gui6")
  tarnlight_runtime_library_depends("${TARNLIGHT_MPV_LIBRARY}" mpv_depends)
  if(mpv_depends)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${mpv_depends}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xss-lock | xautolock | swayidle")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
