# Installation and the Debian package (CPack). Included at the end of CMakeLists.txt.
#
#   cmake --build build && (cd build && cpack -G DEB)     # build/relvano_<version>_<arch>.deb
#   bash scripts/build-package.sh                          # the same, from a fresh build
#
# The schema files are compiled into the programs as Qt resources, so the installed
# programs need nothing of the source tree and run from wherever the package is unpacked.

include(GNUInstallDirs)

# The maintainer named by the package, its copyright file and its changelog.
set(RELVANO_MANTENEDOR "Relvano <soporte@relvano.org>" CACHE STRING "Maintainer of the packages")
set(CPACK_PACKAGE_CONTACT "${RELVANO_MANTENEDOR}")

install(TARGETS relvano-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET relvano)
  install(TARGETS relvano RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(RELVANO_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)

if(UNIX AND NOT APPLE)
  # Manual pages: the version filled in, compressed as Debian keeps them.
  set(paginas relvano-cli)
  if(TARGET relvano)
    list(APPEND paginas relvano)
  endif()
  find_program(RELVANO_GZIP gzip)
  set(man_generadas "")
  foreach(pagina ${paginas})
    configure_file(${RELVANO_PACKAGING}/man/${pagina}.1 ${CMAKE_BINARY_DIR}/man/${pagina}.1 @ONLY)
    if(RELVANO_GZIP)
      add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/man/${pagina}.1.gz
        COMMAND ${RELVANO_GZIP} -9nf -k ${CMAKE_BINARY_DIR}/man/${pagina}.1
        DEPENDS ${CMAKE_BINARY_DIR}/man/${pagina}.1
        COMMENT "Compressing the manual page ${pagina}(1)"
        VERBATIM)
      list(APPEND man_generadas ${CMAKE_BINARY_DIR}/man/${pagina}.1.gz)
    else()
      list(APPEND man_generadas ${CMAKE_BINARY_DIR}/man/${pagina}.1)
    endif()
  endforeach()
  add_custom_target(relvano_man ALL DEPENDS ${man_generadas})
  install(FILES ${man_generadas} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  install(FILES ${RELVANO_PACKAGING}/relvano-cli.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME relvano-cli)

  # The unattended inbox: a template unit and its timer (the instance is the company), and a
  # file for /etc/cron.d as an example, enabled by nobody until the shop's administrator says.
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_get_variable(RELVANO_SYSTEMD_UNITS systemd systemdsystemunitdir)
  endif()
  if(NOT RELVANO_SYSTEMD_UNITS)
    set(RELVANO_SYSTEMD_UNITS /lib/systemd/system)
  endif()
  install(FILES ${RELVANO_PACKAGING}/systemd/relvano-inbox@.service
                ${RELVANO_PACKAGING}/systemd/relvano-inbox@.timer
          DESTINATION ${RELVANO_SYSTEMD_UNITS})
  set(RELVANO_DOC ${CMAKE_INSTALL_DATADIR}/doc/relvano)
  install(FILES ${RELVANO_PACKAGING}/relvano-inbox.cron DESTINATION ${RELVANO_DOC}/examples)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/JSON.md DESTINATION ${RELVANO_DOC})

  # What Debian asks of every package's documentation: the copyright and the changelog,
  # made from the version and its date (a native package's: changelog.gz).
  set(RELVANO_CONTACTO "${CPACK_PACKAGE_CONTACT}")
  string(REGEX REPLACE "^([0-9][0-9])/([0-9][0-9])/([0-9][0-9])$" "20\\3-\\2-\\1" fecha_iso
                       "${RELVANO_FECHA_VERSION}")
  execute_process(COMMAND date -u -R -d "${fecha_iso} 12:00:00" OUTPUT_VARIABLE RELVANO_FECHA_CHANGELOG
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  configure_file(${RELVANO_PACKAGING}/debian/copyright ${CMAKE_BINARY_DIR}/doc/copyright @ONLY)
  configure_file(${RELVANO_PACKAGING}/debian/changelog ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/doc/copyright DESTINATION ${RELVANO_DOC})
  if(RELVANO_GZIP)
    add_custom_command(
      OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
      COMMAND ${RELVANO_GZIP} -9nf -k ${CMAKE_BINARY_DIR}/doc/changelog
      DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog
      COMMENT "Compressing the package's changelog"
      VERBATIM)
    add_custom_target(relvano_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.gz)
    install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${RELVANO_DOC})
  endif()

  if(TARGET relvano)
    # The menu entry and its icon: the window's own mark (src/gui/dibujos.cpp) as SVG,
    # and PNGs rendered from it (packaging/icons/render.sh).
    install(FILES ${RELVANO_PACKAGING}/relvano.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${RELVANO_PACKAGING}/relvano.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(lado 16 22 24 32 48 64 128 256)
      install(FILES ${RELVANO_PACKAGING}/icons/relvano-${lado}.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${lado}x${lado}/apps
              RENAME relvano.png)
    endforeach()
  endif()
endif()

if(WIN32)
  # The icon and the version in the files' properties (packaging/windows/relvano.rc.in).
  configure_file(${RELVANO_PACKAGING}/windows/relvano.rc.in ${CMAKE_BINARY_DIR}/generated/relvano.rc @ONLY)
  target_sources(relvano-cli PRIVATE ${CMAKE_BINARY_DIR}/generated/relvano.rc)
  if(TARGET relvano)
    target_sources(relvano PRIVATE ${CMAKE_BINARY_DIR}/generated/relvano.rc)
  endif()

  # Zstandard as a DLL (vcpkg's dynamic triplets): shipped beside the programs.
  if(RELVANO_ZSTD AND TARGET ${relvano_zstd})
    get_target_property(relvano_zstd_tipo ${relvano_zstd} TYPE)
    if(relvano_zstd_tipo STREQUAL "SHARED_LIBRARY")
      install(IMPORTED_RUNTIME_ARTIFACTS ${relvano_zstd} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endif()

  # `cmake --install build --prefix DIR` leaves a folder that runs on a machine without Qt:
  # windeployqt copies beside the programs the Qt libraries, the platform, style and SQL
  # driver plugins, the compiler's run-time libraries and Qt's Spanish texts (docs/WINDOWS.md).
  get_target_property(relvano_qmake Qt6::qmake IMPORTED_LOCATION)
  get_filename_component(relvano_qt_bin "${relvano_qmake}" DIRECTORY)
  find_program(RELVANO_WINDEPLOYQT windeployqt HINTS "${relvano_qt_bin}")
  if(RELVANO_WINDEPLOYQT)
    set(programas relvano-cli)
    if(TARGET relvano)
      list(APPEND programas relvano)
    endif()
    foreach(programa ${programas})
      install(CODE "
        execute_process(
          COMMAND \"${RELVANO_WINDEPLOYQT}\" --translations es --no-system-d3d-compiler --no-opengl-sw
                  \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${programa}>\"
          RESULT_VARIABLE estado)
        if(NOT estado EQUAL 0)
          message(FATAL_ERROR \"windeployqt failed on ${programa}\")
        endif()")
    endforeach()
    # Qt finds its Spanish texts and plugins beside the programs.
    install(FILES ${RELVANO_PACKAGING}/windows/qt.conf DESTINATION ${CMAKE_INSTALL_BINDIR})
  else()
    message(STATUS "windeployqt not found: `cmake --install` copies the programs only")
  endif()
endif()

set(CPACK_PACKAGE_NAME relvano)
set(CPACK_PACKAGE_VENDOR "Relvano")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Aplica los ficheros de la cadena NORVIA a la base de datos de la tienda")
set(CPACK_STRIP_FILES ON)
# Folders as Debian wants them, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Relvano")

if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # relvano_<version>_<architecture>.deb
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The summary above is the first line; this is the rest.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Artículos, EANs, precios de coste y de venta, ofertas y facturas de compra.\nLa ventana es relvano, y relvano-cli hace las mismas importaciones sin ventana.")
  # The libraries the programs link (Qt, the C++ runtime) come from dpkg-shlibdeps; what
  # it cannot see is listed by hand: the database driver plugins Qt loads at run time
  # (SQLite always; ODBC with [BDD] CONEXION_ODBC; PostgreSQL with [BDD] MOTOR=PostgreSQL)
  # and Qt's Spanish texts for the window.
  set(RELVANO_DEB_PLUGINS
      "libqt6sql6-sqlite, libqt6sql6-odbc, libqt6sql6-psql, qt6-translations-l10n")
  # The completion file is read by the bash-completion package.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
  find_program(RELVANO_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(RELVANO_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${RELVANO_DEB_PLUGINS}")
  else()
    # The engines' own client libraries, when the programs talk to them directly.
    set(relvano_deb_motores "")
    if(RELVANO_SQLITE_DIRECTO)
      string(APPEND relvano_deb_motores "libsqlite3-0, ")
    endif()
    if(RELVANO_PG_DIRECTO)
      string(APPEND relvano_deb_motores "libpq5, ")
    endif()
    if(RELVANO_SHA_OPENSSL)
      string(APPEND relvano_deb_motores "libssl3, ")
    endif()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6core6, libqt6sql6, libqt6gui6, libqt6widgets6, ${relvano_deb_motores}${RELVANO_DEB_PLUGINS}")
  endif()
endif()

include(CPack)
