# cmake -DPKCS12=cert.pfx -DPASSWORD=pw -DINPUT=in.dll -DOUTPUT=out.dll -P SignModule.cmake
# Signs INPUT (a module, or the device's CAB) into OUTPUT through osslsigncode
# with one plain Authenticode signature as Windows CE 5 and Windows Mobile 5
# can verify it: SHA-1 (their cryptographic providers have no SHA-256,
# osslsigncode's default), and no page hashes, nested signature or timestamp,
# which they do not document.
# Nothing may change the image after it is signed. OUTPUT is written whole or
# not at all.
foreach(name PKCS12 INPUT OUTPUT)
    if(NOT ${name})
        message(FATAL_ERROR "sign: ${name} is not set (configure with PENWICK_SIGN_PKCS12 and PENWICK_SIGN_PASSWORD)")
    endif()
endforeach()
if(NOT EXISTS "${PKCS12}")
    message(FATAL_ERROR "sign: no certificate at ${PKCS12}")
endif()
find_program(OSSLSIGNCODE osslsigncode REQUIRED)
get_filename_component(directory "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${directory}")
file(REMOVE "${OUTPUT}" "${OUTPUT}.part")
execute_process(
    COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${PKCS12} -pass "${PASSWORD}" -h sha1
            -in ${INPUT} -out ${OUTPUT}.part
    OUTPUT_QUIET
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}.part")
    message(FATAL_ERROR "sign: osslsigncode could not sign ${INPUT} with ${PKCS12}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
