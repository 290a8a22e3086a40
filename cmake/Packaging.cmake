# Debian packages through CPack (scripts/package.sh): "quortovu", the console with everything it shows and
# reads, and "quortovu-tools", the stand-in camera body for trying the camera path without a camera. The
# binaries are stripped; their debug symbols go into -dbgsym packages. Depends comes from the binaries' own
# libraries (dpkg-shlibdeps) plus the fonts the window is laid out in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quortovu)
set(CPACK_PACKAGE_VENDOR "The QuorTovu developers")
set(QUOR_PACKAGE_MAINTAINER "The QuorTovu developers <quortovu@example.org>" CACHE STRING
    "The Maintainer field of the Debian packages")
set(CPACK_PACKAGE_CONTACT "${QUOR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# CPack's own default summary: it then takes each package's summary from the first line of its description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL console tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_CONSOLE_PACKAGE_NAME quortovu)
set(CPACK_DEBIAN_CONSOLE_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_CONSOLE_PACKAGE_DEPENDS "fonts-liberation, fonts-wqy-zenhei")
set(CPACK_DEBIAN_CONSOLE_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_CONSOLE_PACKAGE_SUGGESTS "gphoto2, quortovu-tools")
string(CONCAT CPACK_DEBIAN_CONSOLE_DESCRIPTION
    "camera console for DSLR cameras\n"
    "QuorTovu drives a DSLR camera (Canon EOS style) from one window: camera\n"
    "properties, single photos, continuous series, bulb exposures, live view with\n"
    "focus and exposure aids, lens focus and frame grabs. Real cameras are driven\n"
    "through libgphoto2 over USB or PTP/IP; a simulated camera is always offered.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME quortovu-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
string(CONCAT CPACK_DEBIAN_TOOLS_DESCRIPTION
    "stand-in EOS camera body for QuorTovu\n"
    "quortovu-standin answers on 127.0.0.1 like a Canon EOS body that libgphoto2\n"
    "drives over PTP/IP, so the console's camera path (and gphoto2) can be tried\n"
    "without a camera.")

include(CPack)
