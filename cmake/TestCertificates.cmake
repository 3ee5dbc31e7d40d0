# Certificates for the tests that sign modules, made with openssl at build
# time into the build folder (the project ships no private key):
#
#   PENWICK_TEST_ROOT_DER, PENWICK_TEST_ROOT_PEM
#       a self-signed root CA, "Penwick test privileged root"
#   PENWICK_TEST_DEVELOPER_PEM
#       a code-signing certificate, "Penwick test developer", issued by it
#   PENWICK_TEST_DEVELOPER_PKCS12
#       the developer's key and certificate, without the root
#   PENWICK_TEST_CHAIN_PKCS12
#       the developer's key and certificate with the root
#   PENWICK_TEST_PKCS12_PASSWORD
#       the password of both PKCS#12 files
#
# The PKCS#12 files use SHA-1 and triple DES, which older Windows and
# Windows CE import. Targets that need them depend on penwick_test_certificates.
#
# Included, it defines the target and the variables; run as
# `cmake -DOUT=folder -P TestCertificates.cmake`, it makes the files.

set(PENWICK_TEST_PKCS12_PASSWORD penwick-test)

if(CMAKE_SCRIPT_MODE_FILE)
    find_program(OPENSSL openssl REQUIRED)
    file(MAKE_DIRECTORY ${OUT})
    file(WRITE ${OUT}/developer.ext
         "basicConstraints = critical, CA:FALSE\n"
         "keyUsage = critical, digitalSignature\n"
         "extendedKeyUsage = codeSigning\n"
         "subjectKeyIdentifier = hash\n"
         "authorityKeyIdentifier = keyid\n")
    function(penwick_openssl)
        execute_process(COMMAND ${OPENSSL} ${ARGN} WORKING_DIRECTORY ${OUT}
                        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "openssl ${ARGN}: ${error}")
        endif()
    endfunction()
    set(pass pass:${PENWICK_TEST_PKCS12_PASSWORD})
    penwick_openssl(req -new -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem
                    -days 3650 -sha256 -subj "/C=GB/O=Penwick/CN=Penwick test privileged root"
                    -set_serial 1 -config /dev/null
                    -addext "basicConstraints=critical,CA:TRUE"
                    -addext "keyUsage=critical,keyCertSign,cRLSign"
                    -addext "subjectKeyIdentifier=hash")
    penwick_openssl(x509 -in root.pem -outform DER -out root.der)
    penwick_openssl(req -new -newkey rsa:2048 -nodes -keyout developer.key -out developer.csr
                    -subj "/C=GB/O=Penwick/OU=Testing/CN=Penwick test developer" -config /dev/null)
    penwick_openssl(x509 -req -in developer.csr -CA root.pem -CAkey root.key -set_serial 0x5EED01
                    -days 3650 -sha256 -extfile developer.ext -out developer.pem)
    penwick_openssl(x509 -in developer.pem -outform DER -out developer.der)
    set(legacy -certpbe PBE-SHA1-3DES -keypbe PBE-SHA1-3DES -macalg sha1)
    penwick_openssl(pkcs12 -export -inkey developer.key -in developer.pem -out developer.p12
                    -passout ${pass} -name "Penwick test developer" ${legacy})
    penwick_openssl(pkcs12 -export -inkey developer.key -in developer.pem -certfile root.pem
                    -out chain.p12 -passout ${pass} -name "Penwick test developer" ${legacy})
    return()
endif()

set(PENWICK_TEST_CERTIFICATES ${CMAKE_BINARY_DIR}/test-certificates)
set(PENWICK_TEST_ROOT_DER ${PENWICK_TEST_CERTIFICATES}/root.der)
set(PENWICK_TEST_ROOT_PEM ${PENWICK_TEST_CERTIFICATES}/root.pem)
set(PENWICK_TEST_DEVELOPER_PEM ${PENWICK_TEST_CERTIFICATES}/developer.pem)
set(PENWICK_TEST_DEVELOPER_PKCS12 ${PENWICK_TEST_CERTIFICATES}/developer.p12)
set(PENWICK_TEST_CHAIN_PKCS12 ${PENWICK_TEST_CERTIFICATES}/chain.p12)
if(NOT TARGET penwick_test_certificates)
    add_custom_command(
        OUTPUT ${PENWICK_TEST_ROOT_DER} ${PENWICK_TEST_ROOT_PEM} ${PENWICK_TEST_DEVELOPER_PEM}
               ${PENWICK_TEST_DEVELOPER_PKCS12} ${PENWICK_TEST_CHAIN_PKCS12}
        COMMAND ${CMAKE_COMMAND} -DOUT=${PENWICK_TEST_CERTIFICATES}
                -P ${CMAKE_CURRENT_LIST_FILE}
        DEPENDS ${CMAKE_CURRENT_LIST_FILE}
        COMMENT "Making the test certificates"
        VERBATIM)
    add_custom_target(penwick_test_certificates
        DEPENDS ${PENWICK_TEST_ROOT_DER} ${PENWICK_TEST_DEVELOPER_PKCS12} ${PENWICK_TEST_CHAIN_PKCS12})
endif()

# penwick_signed_variants(TARGET MODULE MODULE_TARGET FOLDER): TARGET makes
# FOLDER/KIND/NAME from MODULE (built by MODULE_TARGET), for each KIND the
# installer's tests judge: unsigned, sha1 (signed as a device wants, by the
# test developer), sha256 and tampered.
function(penwick_signed_variants target module module_target folder)
    set(stamp ${folder}.stamp)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${PROJECT_SOURCE_DIR}/tests/trust/make_signed_variants.sh ${module}
                ${PENWICK_TEST_DEVELOPER_PKCS12} ${PENWICK_TEST_PKCS12_PASSWORD} ${folder}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${module_target} ${module} penwick_test_certificates
                ${PROJECT_SOURCE_DIR}/tests/trust/make_signed_variants.sh
        COMMENT "Signing ${module_target} as the installer's tests need it"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${stamp})
endfunction()
