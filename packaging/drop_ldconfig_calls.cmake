# Run by CPack after it has built the packages. CPackDeb gives every package
# with a shared object below /usr/lib maintainer scripts that call ldconfig,
# the dialog module in its private folder included. A module loaded by path
# needs no ldconfig, and a postrm script would keep a removed package listed
# by dpkg until it is purged; so the packages of such modules are rebuilt
# without those scripts.
foreach(package_file ${CPACK_PACKAGE_FILES})
    get_filename_component(file_name ${package_file} NAME)
    string(REGEX REPLACE "_.*" "" package ${file_name})
    if(NOT package IN_LIST CPACK_SEGWELD_MODULE_PACKAGES)
        continue()
    endif()
    set(tree ${CPACK_TOPLEVEL_DIRECTORY}/unpacked-${package})
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb -R ${package_file} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${tree} ${package_file}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
