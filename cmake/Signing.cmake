# Authenticode signing with the PKCS#12 certificate and password given at
# configure time (cmake/SignModule.cmake does it). Windows Mobile 5 loads a
# touch driver at boot only when its signature chains to the device's
# Privileged Execution Trust Authorities store; devices want the platform
# SDK's sample privileged-developer test certificate, which users have with
# their SDK. The project ships none.
set(PENWICK_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 certificate to sign the modules with")
set(PENWICK_SIGN_PASSWORD "" CACHE STRING "Password of the PKCS#12 certificate")
if(PENWICK_SIGN_PKCS12)
    if(NOT EXISTS "${PENWICK_SIGN_PKCS12}")
        message(FATAL_ERROR " PENWICK_SIGN_PKCS12: no certificate at ${PENWICK_SIGN_PKCS12}")
    endif()
    find_program(PENWICK_OSSLSIGNCODE osslsigncode)
    if(NOT PENWICK_OSSLSIGNCODE)
        message(FATAL_ERROR " signing needs osslsigncode: apt-get install osslsigncode")
    endif()
    # Who signs, as the package's README and scripts/package say it: the
    # signer's subject, or the file's name when openssl cannot read it.
    find_program(PENWICK_OPENSSL openssl)
    execute_process(
        COMMAND ${PENWICK_OPENSSL} pkcs12 -legacy -in ${PENWICK_SIGN_PKCS12}
                -passin pass:${PENWICK_SIGN_PASSWORD} -nokeys -clcerts
        COMMAND ${PENWICK_OPENSSL} x509 -noout -subject -nameopt RFC2253
        OUTPUT_VARIABLE signer ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REGEX REPLACE "^subject=" "" signer "${signer}")
    if(NOT signer)
        get_filename_component(signer ${PENWICK_SIGN_PKCS12} NAME)
    endif()
    set(PENWICK_SIGNER "${signer}" CACHE INTERNAL "Who signs the modules")
else()
    set(PENWICK_SIGNER "" CACHE INTERNAL "Who signs the modules")
endif()

# penwick_sign_command(VARIABLE INPUT OUTPUT): in VARIABLE, the command that
# signs the module INPUT into OUTPUT with the configured certificate.
function(penwick_sign_command variable input output)
    set(${variable}
        ${CMAKE_COMMAND} -DPKCS12=${PENWICK_SIGN_PKCS12} -DPASSWORD=${PENWICK_SIGN_PASSWORD}
        -DINPUT=${input} -DOUTPUT=${output} -P ${PROJECT_SOURCE_DIR}/cmake/SignModule.cmake
        PARENT_SCOPE)
endfunction()

# penwick_sign_target(TARGET FILE): the `sign` target, which signs the module
# FILE that TARGET builds into bin/signed/Penwick.dll.
function(penwick_sign_target target file)
    penwick_sign_command(command ${file} ${CMAKE_BINARY_DIR}/bin/signed/Penwick.dll)
    add_custom_target(sign COMMAND ${command} DEPENDS ${target} VERBATIM)
endfunction()

# penwick_sign_built_target(TARGET...): the `sign` target of a build that
# signs its modules as the last step of building them: it builds them, and
# fails when no certificate is configured.
function(penwick_sign_built_target)
    if(PENWICK_SIGN_PKCS12)
        add_custom_target(sign DEPENDS ${ARGN})
    else()
        add_custom_target(sign
            COMMAND ${CMAKE_COMMAND} -E echo
                    "sign: configure with PENWICK_SIGN_PKCS12 and PENWICK_SIGN_PASSWORD"
            COMMAND ${CMAKE_COMMAND} -E false
            VERBATIM)
    endif()
endfunction()
