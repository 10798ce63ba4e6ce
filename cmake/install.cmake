# The installed layout (cmake --install, and the Debian package CPack builds
# from it): programs in bin/, the shipped defaults under share/vok-serial-tool/,
# a desktop entry and the icon for the menus. The build folder keeps its own
# portable layout (install/ copied beside the executables).
include(GNUInstallDirs)

foreach(program vok-serial-tool vok-module-sim vok-datapoint-service tst_install)
    target_compile_definitions(${program} PRIVATE VOK_VERSION="${PROJECT_VERSION}")
endforeach()
install(TARGETS vok-serial-tool vok-module-sim vok-datapoint-service
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Where the tool looks for these when they are not beside it: protocol/vokfiles.cpp.
set(VOK_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/vok-serial-tool)
install(FILES install/auto_analyze.ini DESTINATION ${VOK_SHARE_DIR})
install(DIRECTORY install/image install/datapoints DESTINATION ${VOK_SHARE_DIR})
install(FILES ${VOK_QM_FILES} DESTINATION ${VOK_SHARE_DIR}/translations)

install(FILES app/vok-serial-tool.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES app/icons/vok-serial-tool.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# PNG renditions (rsvg-convert -w N -h N of the SVG) for menus that do not draw
# SVG; the same files are the window icon, so Qt needs no SVG support.
set(VOK_ICON_SIZES 16 32 48 64 128 256)
foreach(size ${VOK_ICON_SIZES})
    install(FILES app/icons/vok-serial-tool-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME vok-serial-tool.png)
endforeach()
set_target_properties(vok-serial-tool PROPERTIES AUTORCC ON)
target_sources(vok-serial-tool PRIVATE ${CMAKE_SOURCE_DIR}/app/icons/icons.qrc)

# Debian package: cpack -G DEB in the build folder (tools/make-deb.sh does it
# all). Run-time dependencies come from dpkg-shlibdeps (package dpkg-dev).
set(VOK_PACKAGE_MAINTAINER "Vok serial tool maintainers <vok-serial-tool@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vok-serial-tool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "serial port debugger for the Wi-Fi module to MCU protocol (version 4)")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"A desktop tool for bringing up a product whose MCU talks to a Wi-Fi module
over a serial line: a two-port hexadecimal terminal that can relay both
directions, an MCU simulator that answers the module from reply templates
and a datapoint table, and a checksum calculator. Also contains
vok-module-sim, a console stand-in for the Wi-Fi module, and
vok-datapoint-service, a local HTTP service for datapoint definitions.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VOK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The interface is Chinese: without a CJK font its texts are boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
include(CPack)
