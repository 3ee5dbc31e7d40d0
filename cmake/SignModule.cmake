# cmake -DPKCS12=cert.pfx -DPASSWORD=pw -DINPUT=in.dll -DOUTPUT=out.dll -P SignModule.cmake
# Signs INPUT with Authenticode (SHA-256) into OUTPUT through osslsigncode.
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
file(REMOVE "${OUTPUT}")
execute_process(
    COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${PKCS12} -pass "${PASSWORD}" -h sha256
            -in ${INPUT} -out ${OUTPUT}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}")
    message(FATAL_ERROR "sign: osslsigncode failed")
endif()
