# The version resource of a module: the project's version (PROJECT_VERSION,
# whose parts penwick_version.h gives the code) as file and product version
# MAJOR.MINOR.PATCH.0, for the system and of the type given, and the
# module's description and file name in its string table.
#
#   penwick_version_resource(RC FILE DESCRIPTION TYPE OS)
#
# writes FILE's resource script into the current binary folder and gives its
# path in RC. TYPE is PROGRAM or LIBRARY; OS is WINDOWS_CE or WINDOWS.
function(penwick_version_resource rc file description type os)
    # winver.h's VFT_APP and VFT_DLL; VOS_WINCE | VOS__WINDOWS32 and
    # VOS_NT_WINDOWS32.
    if(type STREQUAL "PROGRAM")
        set(PENWICK_VERSION_TYPE "1  // VFT_APP")
    else()
        set(PENWICK_VERSION_TYPE "2  // VFT_DLL")
    endif()
    if(os STREQUAL "WINDOWS_CE")
        set(PENWICK_VERSION_OS "0x00050004L  // VOS_WINCE | VOS__WINDOWS32")
    else()
        set(PENWICK_VERSION_OS "0x00040004L  // VOS_NT_WINDOWS32")
    endif()
    set(PENWICK_VERSION_DESCRIPTION ${description})
    set(PENWICK_VERSION_FILE ${file})
    set(script ${CMAKE_CURRENT_BINARY_DIR}/version/${file}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${script} @ONLY)
    set(${rc} ${script} PARENT_SCOPE)
endfunction()
