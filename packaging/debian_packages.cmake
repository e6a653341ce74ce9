# The Debian packages, built by CPack from the install components:
#   segweld      the command line, segweld-info, manual pages, completion
#   segweld-gui  the dialog module; pulls in GTK, so a headless server leaves it out
#   segweld-geotiff  the GeoTIFF writer module; pulls in GDAL
#   segweld-dev  headers, static libraries, CMake and pkg-config packages
# Each package's Depends comes from the shared libraries its files link
# (dpkg-shlibdeps), plus segweld itself for the optional parts.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME segweld)
set(CPACK_PACKAGE_VENDOR "The Segweld developers")
set(SEGWELD_PACKAGE_CONTACT "The Segweld developers <segweld@invalid>"
    CACHE STRING "Maintainer of the Debian packages")
set(CPACK_PACKAGE_CONTACT "${SEGWELD_PACKAGE_CONTACT}")
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
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/drop_ldconfig_calls.cmake)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME segweld)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "joins the HRIT/LRIT segment files of one Meteosat product into one file
Segweld walks the segment files of one Meteosat Second Generation product
(HRIT/LRIT format), decodes each header and writes the data fields back to
back into a single file. The output appears only when the join succeeded.
segweld-info prints every header field, checks a product for missing or
damaged segments and draws a preview picture.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME segweld-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Segweld library: HRIT/LRIT header decoder and segment joiner (development)
The static C++20 library behind segweld, with its headers, a CMake package
(find_package(Segweld), target Segweld::core) and a pkg-config file
(segweld.pc).")

if(TARGET segweld_dialog)
    list(APPEND CPACK_COMPONENTS_ALL gui)
    set(CPACK_DEBIAN_GUI_PACKAGE_NAME segweld-gui)
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
    set(CPACK_DEBIAN_GEO_PACKAGE_NAME segweld-geotiff)
    set(CPACK_COMPONENT_GEO_DEPENDS cli)
    set(CPACK_COMPONENT_GEO_DESCRIPTION
        "GeoTIFF output for segweld
Lets segweld --geotiff write a joined product as a Cloud-Optimized GeoTIFF in
the geostationary projection.")
endif()

include(CPack)
