# cmake -DPACKAGE=penwick-VERSION[-unsigned].zip -DFILES=folder/a,folder/b,...
#       -DMODULES=folder/Penwick.dll,... -DSIGNED=ON|OFF -DCHECK_SIGNATURE=check_signature.sh
#       [-DCAFILE=ca.pem] -P check_package.cmake
# Fails unless the zip holds exactly those files (and their folder), none of
# them empty; unless its name and the first lines of its README.txt say
# whether the modules are signed; and unless the modules are signed as a
# device can verify (check_signature.sh, against CAFILE when given) or, for
# an unsigned package, carry no signature at all.
cmake_minimum_required(VERSION 3.25)
get_filename_component(zip_name ${PACKAGE} NAME)
if(SIGNED AND zip_name MATCHES "-unsigned\\.zip$")
    message(FATAL_ERROR "${zip_name}: signed modules in a zip named unsigned")
elseif(NOT SIGNED AND NOT zip_name MATCHES "-unsigned\\.zip$")
    message(FATAL_ERROR "${zip_name}: unsigned modules in a zip not named -unsigned.zip")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${PACKAGE} OUTPUT_VARIABLE listing
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PACKAGE} cannot be read")
endif()
string(REPLACE "\n" ";" found "${listing}")
list(FILTER found EXCLUDE REGEX "(^$|/$)")
string(REPLACE "," ";" wanted "${FILES}")
list(SORT found)
list(SORT wanted)
if(NOT found STREQUAL wanted)
    message(FATAL_ERROR "${PACKAGE} holds\n  ${found}\nnot\n  ${wanted}")
endif()
set(unpacked ${CMAKE_CURRENT_BINARY_DIR}/check_package)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
execute_process(COMMAND ${CMAKE_COMMAND} -E chdir ${unpacked} ${CMAKE_COMMAND} -E tar xf ${PACKAGE})
foreach(file IN LISTS wanted)
    file(SIZE ${unpacked}/${file} size)
    if(size EQUAL 0)
        message(FATAL_ERROR "${file} is empty in ${PACKAGE}")
    endif()
endforeach()

# The README, with the device's line endings; its first lines read as one.
list(FILTER wanted INCLUDE REGEX "/README\\.txt$")
# (Read as hex bytes: file(READ) would drop the carriage returns.)
file(READ ${unpacked}/${wanted} bytes HEX)
string(REGEX REPLACE "(..)" "\\1," bytes "${bytes}")
string(REPLACE "0d,0a," "" bytes "${bytes}")
if(",${bytes}" MATCHES ",0a,")
    message(FATAL_ERROR "README.txt in ${PACKAGE} has a line that does not end in CR LF")
endif()
file(STRINGS ${unpacked}/${wanted} head LIMIT_COUNT 3)
string(REGEX REPLACE "[ \r;]+" " " head "${head}")
if(SIGNED)
    set(says "^Penwick.dll and PenwickSetup.exe here are signed with ")
else()
    set(says "^THIS PACKAGE IS UNSIGNED\\. Windows Mobile will not load an unsigned Penwick.dll at boot, and the device is then left with no touch input, so PenwickSetup refuses to install it there \\(unless given /untrusted\\)\\.")
endif()
if(NOT head MATCHES "${says}")
    message(FATAL_ERROR "README.txt in ${PACKAGE} begins\n  ${head}\nnot\n  ${says}")
endif()

string(REPLACE "," ";" modules "${MODULES}")
foreach(module IN LISTS modules)
    if(SIGNED)
        execute_process(COMMAND ${CHECK_SIGNATURE} ${unpacked}/${module} ${CAFILE}
                        RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "${module} in ${PACKAGE} is not signed as a device can verify")
        endif()
    else()
        execute_process(COMMAND osslsigncode verify -in ${unpacked}/${module}
                        OUTPUT_VARIABLE report ERROR_VARIABLE report)
        if(NOT report MATCHES "No signature found")
            message(FATAL_ERROR "${module} in ${PACKAGE}, a package named unsigned, is signed:\n${report}")
        endif()
    endif()
endforeach()
message(STATUS "${PACKAGE}: ${found}")
