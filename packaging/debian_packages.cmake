# The Debian packages, built by CPack from the install components:
#   segweld          the command line, segweld-info, manual pages, completion,
#                    the systemd service of --watch
#   segweld-gui      the dialog module and its desktop entry; pulls in GTK, so a
#                    headless server leaves it out
#   segweld-geotiff  the GeoTIFF writer module; pulls in GDAL
#   segweld-dev      public headers, static libraries, CMake and pkg-config packages
# Each package's Depends comes from the shared libraries its files link
# (dpkg-shlibdeps), plus segweld itself for the optional parts, which segweld
# suggests. Every package carries its copyright file and changelog.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME segweld)
set(CPACK_PACKAGE_VENDOR "The Segweld developers")
# The project's role address, never a person's. lintian only checks that an
# address is well formed and that its host is a plausible DNS name (two
# labels or more, not localhost or .local): it lets the reserved
# documentation domains (example.org, .invalid, .test) through, yet Debian
# policy 5.6.2 wants an address that reaches the maintainer, which those never
# do. A distributor who builds the packages sets their own.
set(SEGWELD_DEB_MAINTAINER "The Segweld developers <maintainers@segweld.org>"
    CACHE STRING "Maintainer of the Debian packages")
set(CPACK_PACKAGE_CONTACT "${SEGWELD_DEB_MAINTAINER}")
# No CPACK_PACKAGE_DESCRIPTION_SUMMARY: CPackDeb would put it before every
# package's own summary, the first line of its description below.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)

set(CPACK_COMPONENTS_ALL cli dev)
# Packages that hold only modules loaded by path: no ldconfig scripts.
set(CPACK_SEGWELD_MODULE_PACKAGES segweld-gui segweld-geotiff)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/finish_packages.cmake)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME segweld)
# The service reloads the watch with /bin/kill.
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS procps)
set(cli_suggests)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "joins the HRIT/LRIT segment files of one Meteosat product into one file
Segweld walks the segment files of one Meteosat Second Generation product
(HRIT/LRIT format), decodes each header and writes the data fields back to
back into a single file. The output appears only when the join succeeded.
segweld-info prints every header field, checks a product for missing or
damaged segments and draws a preview picture.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME segweld-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# The static libraries link the compression libraries, whose headers and
# CMake modules their users need too.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libbz2-dev, zlib1g-dev, liblzma-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Segweld library: HRIT/LRIT header decoder and segment joiner (development)
The static C++20 library behind segweld, with its headers, a CMake package
(find_package(Segweld), target Segweld::core) and a pkg-config file
(segweld.pc).")

if(TARGET segweld_dialog)
    list(APPEND CPACK_COMPONENTS_ALL gui)
    list(APPEND cli_suggests "${SEGWELD_DIALOG_PACKAGE} (= ${PROJECT_VERSION})")
    set(CPACK_DEBIAN_GUI_PACKAGE_NAME ${SEGWELD_DIALOG_PACKAGE})
    set(CPACK_DEBIAN_GUI_PACKAGE_SECTION x11)
    set(CPACK_COMPONENT_GUI_DEPENDS cli)
    set(CPACK_COMPONENT_GUI_DESCRIPTION
        "dialog for segweld
The dialog that segweld opens when it is started without arguments: choose a
segment file and an output folder and join the product. Needs a display.")
endif()

# The GDAL-linked GeoTIFF writer is a module beside the dialog module, in a
# package of its own, so that the command line does not pull GDAL.
if(TARGET segweld_geotiff)
    install(TARGETS segweld_geotiff LIBRARY DESTINATION ${SEGWELD_INSTALL_MODULEDIR}
            COMPONENT geo)
    list(APPEND CPACK_COMPONENTS_ALL geo)
    list(APPEND cli_suggests "${SEGWELD_GEOTIFF_PACKAGE} (= ${PROJECT_VERSION})")
    set(CPACK_DEBIAN_GEO_PACKAGE_NAME ${SEGWELD_GEOTIFF_PACKAGE})
    set(CPACK_COMPONENT_GEO_DEPENDS cli)
    set(CPACK_COMPONENT_GEO_DESCRIPTION
        "GeoTIFF output for segweld
Lets segweld --geotiff write a joined product as a Cloud-Optimized GeoTIFF in
the geostationary projection.")
endif()

list(JOIN cli_suggests ", " CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS)

# Debian's copyright file (machine-readable, DEP-5) and changelog, the same
# for every package, each in its package's documentation folder. The licence
# text is the one of LICENSE.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(FIND "${licence}" "Permission is hereby granted" text_start)
string(SUBSTRING "${licence}" ${text_start} -1 licence)
string(STRIP "${licence}" licence)
# A DEP-5 field goes on in indented lines; an empty line is a lone dot.
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " licence "${licence}")
set(SEGWELD_LICENSE_TEXT " ${licence}")
set(debian_documents ${CMAKE_CURRENT_BINARY_DIR}/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${debian_documents}/copyright @ONLY)

# The changelog names each release; its latest entry must be this version.
set(changelog ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
file(STRINGS ${changelog} latest LIMIT_COUNT 1)
string(REPLACE "." "\\." version_pattern "${PROJECT_VERSION}")
if(NOT latest MATCHES "^segweld \\(${version_pattern}\\) ")
    message(FATAL_ERROR "${changelog} starts with \"${latest}\": "
                        "add an entry for version ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
# Compressed as Debian does it: no name or time stamp in the gzip header.
execute_process(COMMAND gzip -9nc ${changelog} OUTPUT_FILE ${debian_documents}/changelog.gz
                COMMAND_ERROR_IS_FATAL ANY)

set(package_of_cli segweld)
set(package_of_dev segweld-dev)
set(package_of_gui ${SEGWELD_DIALOG_PACKAGE})
set(package_of_geo ${SEGWELD_GEOTIFF_PACKAGE})
foreach(component ${CPACK_COMPONENTS_ALL})
    install(FILES ${debian_documents}/copyright ${debian_documents}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package_of_${component}}
            COMPONENT ${component})
    # lintian's overrides, each with the reason it is not a fault.
    set(overrides ${CMAKE_CURRENT_LIST_DIR}/debian/${package_of_${component}}.lintian-overrides)
    if(EXISTS ${overrides})
        install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
                RENAME ${package_of_${component}} COMPONENT ${component})
    endif()
endforeach()

include(CPack)
