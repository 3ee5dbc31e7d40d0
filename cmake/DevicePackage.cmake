# What goes to the device, in one zip: build/device/penwick-VERSION.zip holds
# the folder penwick-VERSION with Penwick.dll, PenwickSetup.exe, the .reg
# files of samples/ and README.txt for the device. scripts/package makes it.
set(PENWICK_PACKAGE_NAME penwick-${PROJECT_VERSION})
set(PENWICK_PACKAGE ${CMAKE_BINARY_DIR}/${PENWICK_PACKAGE_NAME}.zip)
set(PENWICK_PACKAGE_REG_FILES install.reg uninstall.reg capture-on.reg capture-off.reg)

configure_file(setup/README.txt ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
set(staging ${CMAKE_BINARY_DIR}/package/${PENWICK_PACKAGE_NAME})
set(reg_files ${PENWICK_PACKAGE_REG_FILES})
list(TRANSFORM reg_files PREPEND ${PROJECT_SOURCE_DIR}/samples/)
add_custom_command(
    OUTPUT ${PENWICK_PACKAGE}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${staging} ${PENWICK_PACKAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${staging}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_PROPERTY:Penwick,PENWICK_MODULE>
            $<TARGET_PROPERTY:PenwickSetup,PENWICK_MODULE> ${reg_files}
            ${CMAKE_BINARY_DIR}/package/README.txt ${staging}
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
            ${CMAKE_COMMAND} -E tar cf ${PENWICK_PACKAGE} --format=zip ${PENWICK_PACKAGE_NAME}
    DEPENDS Penwick PenwickSetup $<TARGET_PROPERTY:Penwick,PENWICK_MODULE>
            $<TARGET_PROPERTY:PenwickSetup,PENWICK_MODULE> ${reg_files}
            ${CMAKE_BINARY_DIR}/package/README.txt
    COMMENT "Packing ${PENWICK_PACKAGE_NAME}.zip for the device"
    VERBATIM)
add_custom_target(device_package ALL DEPENDS ${PENWICK_PACKAGE})
