# What `cmake --install` puts where besides the program and its encoder library (the desktop
# entry, icon, software-centre metainfo, manual page and bash completion), and the Debian
# package that CPack builds from the same tree (./package.sh).
include(GNUInstallDirs)

set(SONORIEL_APP_ID "org.sonoriel.Sonoriel")
set(SONORIEL_HOMEPAGE_URL "https://github.com/sonoriel/sonoriel" CACHE STRING
    "The project's public address, shown by software centres and in the package")
set(SONORIEL_SCREENSHOT_URL "${SONORIEL_HOMEPAGE_URL}/raw/main/docs/screenshots/main-window.png"
    CACHE STRING "Address of the main window's screenshot in the software-centre metainfo")
set(SONORIEL_PACKAGE_MAINTAINER "Sonoriel developers <sonoriel@localhost>" CACHE STRING
    "Maintainer field of the Debian package")

set(dataOut "${CMAKE_BINARY_DIR}/data")
configure_file(data/${SONORIEL_APP_ID}.metainfo.xml.in "${dataOut}/${SONORIEL_APP_ID}.metainfo.xml" @ONLY)
configure_file(data/sonoriel.1.in "${dataOut}/sonoriel.1" @ONLY)
# Debian ships manual pages compressed; -n leaves the name and time out, so the file depends
# only on its text. configure_file above re-runs this step whenever the page changes.
execute_process(COMMAND gzip -9 -n -c "${dataOut}/sonoriel.1"
                OUTPUT_FILE "${dataOut}/sonoriel.1.gz" RESULT_VARIABLE gzipResult)
if(NOT gzipResult EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the manual page: ${gzipResult}")
endif()

install(FILES data/${SONORIEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${SONORIEL_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES "${dataOut}/${SONORIEL_APP_ID}.metainfo.xml" DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES "${dataOut}/sonoriel.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/sonoriel.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME sonoriel)

# The Debian package. Its library dependencies come from dpkg-shlibdeps over the installed
# program and encoder library; the declared ones are what the program needs without linking
# it: libmp3lame0 behind the dlopened shim, and libqt6multimedia6, which carries the FFmpeg
# backend plugin that the player selects.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonoriel)
set(CPACK_PACKAGE_VENDOR "Sonoriel")
set(CPACK_PACKAGE_CONTACT "${SONORIEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound recorder with live display, effects, MP3 conversion and WAV joining")
set(CPACK_PACKAGE_DESCRIPTION "Sonoriel records whatever reaches the sound card's recording path \
(microphone, line-in, or any source the sound server offers) into WAV files, shows the signal \
live while it records and can pass it through real-time effects. It converts WAV files to MP3 \
through LAME and joins WAV files of one format. Its user interface is French; what the windows \
do on files can also be done from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SONORIEL_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmp3lame0, libqt6multimedia6, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pavucontrol | pavucontrol-qt, bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
