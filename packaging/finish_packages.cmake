# Run by CPack after it has built the packages, to finish them as Debian's
# own tools (dh_strip, dh_makeshlibs) would:
#  - CPackDeb gives every package with a shared object below /usr/lib
#    maintainer scripts that call ldconfig, the modules in their private
#    folder included. A module loaded by path needs no ldconfig, and a postrm
#    script would keep a removed package listed by dpkg until it is purged:
#    the packages of such modules lose those scripts.
#  - CPack strips the programs and modules but leaves the compiler's .comment
#    and .note sections, and does not touch static libraries: they are
#    stripped as dh_strip does, and the md5sums written anew.
foreach(package_file ${CPACK_PACKAGE_FILES})
    get_filename_component(file_name ${package_file} NAME)
    string(REGEX REPLACE "_.*" "" package ${file_name})
    set(tree ${CPACK_TOPLEVEL_DIRECTORY}/unpacked-${package})
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb -R ${package_file} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    if(package IN_LIST CPACK_SEGWELD_MODULE_PACKAGES)
        file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    endif()

    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/*)
    list(SORT files)
    set(md5sums "")
    foreach(file ${files})
        if(IS_SYMLINK ${tree}/${file})
            continue()
        endif()
        if(file MATCHES "\\.a$")
            execute_process(COMMAND strip --strip-debug --remove-section=.comment
                                    --remove-section=.note --enable-deterministic-archives
                                    ${tree}/${file} COMMAND_ERROR_IS_FATAL ANY)
        elseif(file MATCHES "^usr/(bin/|lib/segweld/)")
            execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
                                    ${tree}/${file} COMMAND_ERROR_IS_FATAL ANY)
        endif()
        file(MD5 ${tree}/${file} sum)
        string(APPEND md5sums "${sum}  ${file}\n")
    endforeach()
    file(WRITE ${tree}/DEBIAN/md5sums "${md5sums}")

    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${tree} ${package_file}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
