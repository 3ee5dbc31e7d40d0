# The `sign` target: Authenticode-signs Penwick.dll with the PKCS#12
# certificate and password given at configure time, into
# bin/signed/Penwick.dll. Devices want the platform SDK's sample
# privileged-developer test certificate; the project ships none.
set(PENWICK_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 certificate to sign Penwick.dll with")
set(PENWICK_SIGN_PASSWORD "" CACHE STRING "Password of the PKCS#12 certificate")

# penwick_sign_target(TARGET FILE): the `sign` target for the module FILE
# that TARGET builds.
function(penwick_sign_target target file)
    add_custom_target(sign
        COMMAND ${CMAKE_COMMAND}
                -DPKCS12=${PENWICK_SIGN_PKCS12}
                -DPASSWORD=${PENWICK_SIGN_PASSWORD}
                -DINPUT=${file}
                -DOUTPUT=${CMAKE_BINARY_DIR}/bin/signed/Penwick.dll
                -P ${PROJECT_SOURCE_DIR}/cmake/SignModule.cmake
        DEPENDS ${target}
        VERBATIM)
endfunction()
