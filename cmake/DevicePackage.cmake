# What goes to the device, in one zip and one installation cabinet:
# build/device/penwick-VERSION.zip holds the folder penwick-VERSION with
# Penwick.dll, PenwickSetup.exe, the .reg files of samples/ and README.txt
# for the device; build/device/penwick-VERSION.cab installs the same files
# into \Program Files\Penwick when tapped on the device. scripts/package
# makes both. Without a certificate to sign with, the modules are unsigned,
# which Windows Mobile 5 does not load at boot: the zip is then
# penwick-VERSION-unsigned.zip, the cabinet penwick-VERSION-unsigned.cab, and
# the README says so first. The folder never holds both zips or both
# cabinets.
set(PENWICK_PACKAGE_NAME penwick-${PROJECT_VERSION})
set(PENWICK_PACKAGE_REG_FILES install.reg uninstall.reg capture-on.reg capture-off.reg)
if(PENWICK_SIGN_PKCS12)
    set(PENWICK_PACKAGE ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}.zip)
    set(other_package ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}-unsigned.zip)
    set(PENWICK_PACKAGE_CAB ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}.cab)
    set(other_cab ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}-unsigned.cab)
    set(PENWICK_PACKAGE_NOTICE
        "Penwick.dll and PenwickSetup.exe here are signed with ${PENWICK_SIGNER}.
The device loads Penwick.dll at boot only if it trusts that certificate:
see BEFORE YOU INSTALL below.")
else()
    set(PENWICK_PACKAGE ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}-unsigned.zip)
    set(other_package ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}.zip)
    set(PENWICK_PACKAGE_CAB ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}-unsigned.cab)
    set(other_cab ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}.cab)
    set(PENWICK_PACKAGE_NOTICE
        "THIS PACKAGE IS UNSIGNED. Windows Mobile will not load an unsigned
Penwick.dll at boot, and the device is then left with no touch input, so
PenwickSetup refuses to install it there (unless given /untrusted).
Sign it first: see BEFORE YOU INSTALL below, and the project's README.md.")
endif()

# The README is written with the device's line endings; configure_file
# gives them only to the lines of the file itself.
string(REPLACE "\n" "\r\n" PENWICK_PACKAGE_NOTICE "${PENWICK_PACKAGE_NOTICE}")
get_filename_component(PENWICK_PACKAGE_CAB_NAME ${PENWICK_PACKAGE_CAB} NAME)
configure_file(setup/README.txt ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
set(staging ${CMAKE_BINARY_DIR}/package/${PENWICK_PACKAGE_NAME})
set(reg_files ${PENWICK_PACKAGE_REG_FILES})
list(TRANSFORM reg_files PREPEND ${PROJECT_SOURCE_DIR}/samples/)
get_filename_component(package_file ${PENWICK_PACKAGE} NAME)
add_custom_command(
    OUTPUT ${PENWICK_PACKAGE}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${staging} ${PENWICK_PACKAGE} ${other_package}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${staging}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_PROPERTY:Penwick,PENWICK_MODULE>
            $<TARGET_PROPERTY:PenwickSetup,PENWICK_MODULE> ${reg_files}
            ${CMAKE_BINARY_DIR}/package/README.txt ${staging}
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
            ${CMAKE_COMMAND} -E tar cf ${PENWICK_PACKAGE} --format=zip ${PENWICK_PACKAGE_NAME}
    DEPENDS Penwick PenwickSetup $<TARGET_PROPERTY:Penwick,PENWICK_MODULE>
            $<TARGET_PROPERTY:PenwickSetup,PENWICK_MODULE> ${reg_files}
            ${CMAKE_BINARY_DIR}/package/README.txt
    COMMENT "Packing ${package_file} for the device"
    VERBATIM)

# The cabinet (tools/cab): the modules, the .reg files and the README into
# \Program Files\Penwick, and the setup DLL, PenwickCabSetup, which runs
# the installer from there when the cabinet is installed and removed. Every
# member carries PENWICK_PACKAGE_DATE, so that one source makes one cabinet.
# Signed, it is signed as the modules are, after penwick_cab wrote it.
set(PENWICK_PACKAGE_DATE 2026-12-09T12:00:00 CACHE STRING
    "Date and time (YYYY-MM-DDTHH:MM:SS) of every file in the device's CAB")
set(PENWICK_PACKAGE_CAB_FILES $<TARGET_PROPERTY:Penwick,PENWICK_MODULE> $<TARGET_PROPERTY:PenwickSetup,PENWICK_MODULE>
    ${reg_files} ${CMAKE_BINARY_DIR}/package/README.txt)
set(PENWICK_PACKAGE_SETUP_DLL $<TARGET_PROPERTY:PenwickCabSetup,PENWICK_MODULE>)
set(cab_setup_dll --setup-dll ${PENWICK_PACKAGE_SETUP_DLL})
set(cab_depends PenwickCabSetup ${PENWICK_PACKAGE_SETUP_DLL})
if(PENWICK_SIGN_PKCS12)
    set(unsigned_cab ${CMAKE_BINARY_DIR}/package/${PENWICK_PACKAGE_NAME}.cab)
    penwick_sign_command(sign_cab ${unsigned_cab} ${PENWICK_PACKAGE_CAB})
    set(sign_cab COMMAND ${sign_cab})
    list(APPEND cab_depends ${PENWICK_SIGN_PKCS12} ${PROJECT_SOURCE_DIR}/cmake/SignModule.cmake)
else()
    set(unsigned_cab ${PENWICK_PACKAGE_CAB})
    set(sign_cab "")
endif()
get_filename_component(cab_file ${PENWICK_PACKAGE_CAB} NAME)
add_custom_command(
    OUTPUT ${PENWICK_PACKAGE_CAB}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${PENWICK_PACKAGE_CAB} ${other_cab} ${unsigned_cab}
    COMMAND penwick_cab make ${unsigned_cab} --date ${PENWICK_PACKAGE_DATE} ${cab_setup_dll} ${PENWICK_PACKAGE_CAB_FILES}
    ${sign_cab}
    DEPENDS penwick_cab Penwick PenwickSetup ${PENWICK_PACKAGE_CAB_FILES} ${cab_depends}
    COMMENT "Writing ${cab_file} for the device"
    VERBATIM)
add_custom_target(device_package ALL DEPENDS ${PENWICK_PACKAGE} ${PENWICK_PACKAGE_CAB})
