# The compiler and linker flags Debian builds its packages with: those of
# dpkg-buildflags with every hardening feature (stack protector, fortified
# C library functions, format checks, relocations read-only and bound at
# start). Added to optimised native builds on a system that has
# dpkg-buildflags, so that the tests run the very code the packages ship;
# optimisation and debug information stay with CMAKE_BUILD_TYPE. Fortified
# functions need optimisation, and the sanitizers bring their own checks:
# Debug, sanitized, fuzzing and cross builds leave them out.
find_program(SEGWELD_DPKG_BUILDFLAGS dpkg-buildflags)
mark_as_advanced(SEGWELD_DPKG_BUILDFLAGS)
set(deb_flags_fit OFF)
if(SEGWELD_DPKG_BUILDFLAGS AND NOT WIN32 AND NOT CMAKE_CROSSCOMPILING AND NOT SEGWELD_SANITIZE
   AND NOT SEGWELD_FUZZ AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(deb_flags_fit ON)
endif()
option(SEGWELD_DEB_BUILDFLAGS "Build with Debian's hardening flags (dpkg-buildflags)" ${deb_flags_fit})
if(NOT SEGWELD_DEB_BUILDFLAGS)
    return()
endif()

# A packager's own choice of features wins.
set(maint_options hardening=+all)
if(DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
    set(maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
endif()
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    # Run from the source folder: -ffile-prefix-map then maps it to ".".
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env "DEB_BUILD_MAINT_OPTIONS=${maint_options}"
                ${SEGWELD_DPKG_BUILDFLAGS} --get ${kind}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g|O.*)$")
    set(deb_${kind} ${flags})
endforeach()
add_compile_options(${deb_CPPFLAGS} ${deb_CXXFLAGS})
add_link_options(${deb_LDFLAGS})
# Executables as position-independent as the libraries (CMAKE_POSITION_INDEPENDENT_CODE).
include(CheckPIESupported)
check_pie_supported()
message(STATUS "Debian build flags: ${deb_CPPFLAGS} ${deb_CXXFLAGS} ${deb_LDFLAGS}")
