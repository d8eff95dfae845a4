# The Debian package of the whole tool, by CPack from the install rules:
# `make package` (or `cmake --build build --target package`) writes
# build/corvanetov_<version>_<arch>.deb.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Who answers for the package; the changelog's entries name the same.
set(CORVANETOV_MAINTAINER "CorvaneTOV developers <dev@corvanetov.example>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_CONTACT ${CORVANETOV_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Stripping keeps the compilers' notes (.comment); Debian's packages drop them.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DropCommentSections.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies from the libraries the programs and the plug-in link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt SQL loads its drivers at run time: the bench's SQLite file, a shop's server.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for VQX-B410 CDMA handsets")
# CPack puts the summary first and indents the rest, an empty line
# becoming the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"CorvaneTOV reads and programs VQX-B410 handsets over their USB or UART
diagnostic port: phone information (ESN, software and hardware version),
software and font download with rebuild over a UART link, security
settings (lock codes and network-lock SIDs) with settings files and
printing, and PRL and ERI programming.

The package holds the desktop tool (corvanetov) with the VQX-B410
plug-in, a command-line tool for scripted service (corvanetov-cli), a
simulated handset for training and tests (vqxb410-sim), and a udev rule
that gives the logged-in user the handset's port and keeps ModemManager
away from it.")
include(CPack)
