# The device's toolchain: modules for Windows CE 5 on an ARMv5TE, made with
# Debian's clang 14, lld 14 and llvm 14.
#
# clang's driver refuses ARMv5 Windows targets, but its compiler proper
# (clang -cc1) compiles for them: Thumb code for the ARMv5TE with software
# floating point, which Windows CE's ARMV4I ABI interworks with ARM code. So
# the project is configured with the build machine's compiler (for the build
# tools), and each device source is compiled by a custom command defined
# here; lld-link links, llvm-dlltool makes import libraries from .def files,
# llvm-rc compiles version resources.
#
#   penwick_device_module(NAME [EXECUTABLE] [DESCRIPTION text] [EXPORTS x.def] IMPORTS y.def
#                         SOURCES ... [FREESTANDING_SOURCES ...] [INCLUDES folder...])
#
# builds bin/NAME.dll with no C run-time start-up code (DllMain is the
# entry), exporting what EXPORTS lists, importing only the DATA lines of
# IMPORTS through their import address slots, with LLVM's compiler helpers
# linked in and a version resource (cmake/VersionResource.cmake: the
# project's version, DESCRIPTION, NAME as its file name when none is given);
# sets the header fields the device's loader checks (pe_header); signs it
# when a certificate is configured (cmake/Signing.cmake, included first);
# and adds the CTest check NAME_fit_for_device (device_check, which also
# wants the project's version in the resource). With EXECUTABLE it builds
# bin/NAME.exe instead: a program whose entry is WinMain, exporting nothing.

set(PENWICK_DEVICE_TRIPLE thumbv5te-unknown-windows-gnu)

# One line naming what to install, and stop (the leading space keeps CMake
# from wrapping it).
function(penwick_device_missing what packages)
    message(FATAL_ERROR " device build: ${what}: apt-get install ${packages}")
endfunction()

# Finds `program` and checks that `--version` says version 14.
function(penwick_device_tool variable program package)
    find_program(${variable} ${program})
    if(NOT ${variable})
        penwick_device_missing("${program} is missing" ${package})
    endif()
    execute_process(COMMAND ${${variable}} --version OUTPUT_VARIABLE version ERROR_QUIET)
    if(NOT version MATCHES "(version|LLD) 14\\.")
        string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" found "${version}")
        penwick_device_missing("${program} is version ${found}, not 14" ${package})
    endif()
endfunction()

penwick_device_tool(PENWICK_DEVICE_CLANG clang-14 clang-14)
penwick_device_tool(PENWICK_DEVICE_LLD_LINK lld-link-14 lld-14)
penwick_device_tool(PENWICK_DEVICE_AR llvm-ar-14 llvm-14)
# These two say no version: llvm-14's own package brings them.
foreach(tool dlltool rc)
    string(TOUPPER ${tool} variable)
    find_program(PENWICK_DEVICE_${variable} llvm-${tool}-14)
    if(NOT PENWICK_DEVICE_${variable})
        penwick_device_missing("llvm-${tool}-14 is missing" llvm-14)
    endif()
endforeach()

# Headers: clang's own, mingw-w64's C headers for Windows, and the C++
# headers of mingw-w64's GCC (only <cmath> is used, for its declarations).
execute_process(COMMAND ${PENWICK_DEVICE_CLANG} -print-resource-dir
                OUTPUT_VARIABLE PENWICK_DEVICE_RESOURCES OUTPUT_STRIP_TRAILING_WHITESPACE)
find_path(PENWICK_DEVICE_C_HEADERS math.h PATHS /usr/share/mingw-w64/include NO_DEFAULT_PATH)
if(NOT PENWICK_DEVICE_C_HEADERS)
    penwick_device_missing("mingw-w64's C headers are missing" mingw-w64-common)
endif()
file(GLOB cmath /usr/lib/gcc/i686-w64-mingw32/*/include/c++/cmath)
if(NOT cmath)
    penwick_device_missing("mingw-w64's C++ headers are missing" g++-mingw-w64-i686-posix)
endif()
list(GET cmath 0 cmath)
get_filename_component(PENWICK_DEVICE_CXX_HEADERS ${cmath} DIRECTORY)

# LLVM's compiler helpers (compiler-rt's builtins), from Debian's
# llvm-toolchain-14 source package, fetched once into the build folder.
set(PENWICK_DEVICE_BUILTINS_SOURCE ${CMAKE_BINARY_DIR}/_deps/compiler-rt/builtins)
if(NOT EXISTS ${PENWICK_DEVICE_BUILTINS_SOURCE}/divsf3.c)
    execute_process(
        COMMAND bash -c "source '${PROJECT_SOURCE_DIR}/scripts/lib.sh' && penwick_ensure_builtins_source \"$1\""
                bash ${CMAKE_BINARY_DIR}/_deps/compiler-rt)
    if(NOT EXISTS ${PENWICK_DEVICE_BUILTINS_SOURCE}/divsf3.c)
        message(FATAL_ERROR " device build: compiler-rt's builtins could not be fetched into "
                            "${PENWICK_DEVICE_BUILTINS_SOURCE} from Debian's llvm-toolchain-14 "
                            "source package (a deb-src entry needs root or sudo)")
    endif()
endif()

# Code generation, the same for every device object. The ARMv5TE of the
# devices' ARM9 and XScale processors, in Thumb state, with software floating
# point. No jump tables, so that the code section holds only instructions and
# literal pools. Every symbol is local to the module (the import address
# slots are in the image too): otherwise the compiler reaches external
# variables through a stub pointer, and for ARMv5 it loses the stub and
# loads the variable itself as that pointer.
set(PENWICK_DEVICE_CC1
    ${PENWICK_DEVICE_CLANG} -cc1 -triple ${PENWICK_DEVICE_TRIPLE} -target-cpu arm926ej-s
    -target-feature +soft-float -target-feature -vfp2 -msoft-float -mfloat-abi soft
    -fms-extensions -fgnuc-version=4.2.1 -O2 -ffp-contract=off -fno-jump-tables
    -ffunction-sections
    -fvisibility hidden -fapply-global-visibility-to-externs -emit-obj)
set(PENWICK_DEVICE_C_INCLUDES
    -internal-isystem ${PENWICK_DEVICE_RESOURCES}/include
    -internal-isystem ${PENWICK_DEVICE_C_HEADERS})
# The driver's own code: C++17 without exceptions (cc1's default) or RTTI,
# warnings as errors, and no variable that would need a constructor or
# destructor run (nothing runs them: there is no C run-time start-up code).
set(PENWICK_DEVICE_CXX_FLAGS
    -x c++ -std=c++17 -fno-rtti -Wall -Wextra -Wpedantic -Werror -Wglobal-constructors
    -Wexit-time-destructors
    -internal-isystem ${PENWICK_DEVICE_CXX_HEADERS}
    -internal-isystem ${PENWICK_DEVICE_CXX_HEADERS}/i686-w64-mingw32
    ${PENWICK_DEVICE_C_INCLUDES} -I ${PROJECT_SOURCE_DIR} -I ${PROJECT_BINARY_DIR})

# Compiles each source with the given flags into the current binary folder;
# the objects' paths go to `objects`.
function(penwick_device_compile objects name)
    set(result "")
    foreach(source IN LISTS ARGN)
        get_filename_component(source ${source} ABSOLUTE)
        get_filename_component(stem ${source} NAME_WE)
        set(object ${CMAKE_CURRENT_BINARY_DIR}/${name}.dir/${stem}.obj)
        add_custom_command(
            OUTPUT ${object}
            COMMAND ${PENWICK_DEVICE_CC1} ${PENWICK_DEVICE_FLAGS} -dependency-file ${object}.d
                    -MT ${object} -o ${object} ${source}
            DEPENDS ${source}
            DEPFILE ${object}.d
            COMMENT "Compiling ${stem} for the device"
            COMMAND_EXPAND_LISTS VERBATIM)
        list(APPEND result ${object})
    endforeach()
    set(${objects} ${result} PARENT_SCOPE)
endfunction()

# The compiler helpers that device code calls: single-precision arithmetic,
# comparisons and conversions, the widening and narrowing around the
# double-precision arc tangent and square root, unsigned division, and what
# those use in turn (64-bit shifts and multiplication, counting leading
# zeros, the rounding mode). Plain C, compiled freestanding.
set(PENWICK_DEVICE_BUILTINS
    addsf3 subsf3 mulsf3 comparesf2 floatsisf fixsfsi extendsfdf2 truncdfsf2 udivsi3
    ashldi3 lshrdi3 muldi3 clzsi2 fp_mode)
list(TRANSFORM PENWICK_DEVICE_BUILTINS PREPEND ${PENWICK_DEVICE_BUILTINS_SOURCE}/)
list(TRANSFORM PENWICK_DEVICE_BUILTINS APPEND .c)
set(PENWICK_DEVICE_FLAGS -x c -std=c11 -ffreestanding -w ${PENWICK_DEVICE_C_INCLUDES}
    -I ${PENWICK_DEVICE_BUILTINS_SOURCE})
penwick_device_compile(builtin_objects device_builtins ${PENWICK_DEVICE_BUILTINS})
set(PENWICK_DEVICE_BUILTINS_LIBRARY ${CMAKE_BINARY_DIR}/device_builtins.dir/libbuiltins.a)
add_custom_command(
    OUTPUT ${PENWICK_DEVICE_BUILTINS_LIBRARY}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${PENWICK_DEVICE_BUILTINS_LIBRARY}
    COMMAND ${PENWICK_DEVICE_AR} rcs ${PENWICK_DEVICE_BUILTINS_LIBRARY} ${builtin_objects}
    DEPENDS ${builtin_objects}
    COMMENT "Archiving compiler-rt's builtins for the device"
    VERBATIM)
add_custom_target(penwick_device_builtins DEPENDS ${PENWICK_DEVICE_BUILTINS_LIBRARY})

function(penwick_device_module name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "EXECUTABLE" "DESCRIPTION;EXPORTS;IMPORTS"
                          "SOURCES;FREESTANDING_SOURCES;INCLUDES")
    if(NOT arg_DESCRIPTION)
        set(arg_DESCRIPTION ${name})
    endif()
    get_filename_component(imports ${arg_IMPORTS} ABSOLUTE)
    get_filename_component(imports_name ${imports} NAME_WE)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${name}.dir)
    if(arg_EXECUTABLE)
        # A program exports nothing; the device check is given an empty list.
        # Windows CE's programs are based at 64 KiB and given a stack of 64 KiB.
        set(module ${CMAKE_BINARY_DIR}/bin/${name}.exe)
        set(exports ${dir}/no_exports.def)
        file(WRITE ${exports} "EXPORTS\n")
        set(kind /entry:WinMain /base:0x10000 /stack:0x10000)
        set(type PROGRAM)
    else()
        set(module ${CMAKE_BINARY_DIR}/bin/${name}.dll)
        get_filename_component(exports ${arg_EXPORTS} ABSOLUTE)
        set(kind /dll /entry:DllMain /def:${exports})
        set(type LIBRARY)
    endif()
    list(TRANSFORM arg_INCLUDES PREPEND -I)

    set(PENWICK_DEVICE_FLAGS ${PENWICK_DEVICE_CXX_FLAGS} ${arg_INCLUDES})
    penwick_device_compile(objects ${name} ${arg_SOURCES})
    # Where the compiler's own calls of memcpy and memset are defined, it
    # must not turn a loop back into such a call.
    set(PENWICK_DEVICE_FLAGS ${PENWICK_DEVICE_CXX_FLAGS} -ffreestanding)
    penwick_device_compile(freestanding ${name} ${arg_FREESTANDING_SOURCES})

    # DATA lines only: the import library offers no call thunks (lld's are
    # Thumb-2), so a direct call of an imported function fails to link.
    set(import_library ${dir}/lib${imports_name}.a)
    add_custom_command(
        OUTPUT ${import_library}
        COMMAND ${PENWICK_DEVICE_DLLTOOL} -m arm -d ${imports} -l ${import_library}
        DEPENDS ${imports}
        VERBATIM)

    # The version resource, which lld-link takes as a .res and puts in the
    # image's .rsrc section.
    get_filename_component(module_name ${module} NAME)
    penwick_version_resource(version_rc ${module_name} "${arg_DESCRIPTION}" ${type} WINDOWS_CE)
    set(version_res ${dir}/version.res)
    # llvm-rc reads any word starting with a slash as an option, so a source
    # under /check/... would be taken for /C (the code page): "--" ends them.
    add_custom_command(
        OUTPUT ${version_res}
        COMMAND ${PENWICK_DEVICE_RC} /no-preprocess /FO ${version_res} -- ${version_rc}
        DEPENDS ${version_rc}
        COMMENT "Compiling the version resource of ${module_name}"
        VERBATIM)

    # lld-link marks the image as a desktop ARMNT one and knows no Windows CE
    # subsystem: pe_header sets what the device's loader checks. Signing
    # comes last, since any change to the image breaks the signature.
    if(PENWICK_SIGN_PKCS12)
        set(patched ${dir}/unsigned/${module_name})
        file(MAKE_DIRECTORY ${dir}/unsigned)
        penwick_sign_command(sign ${patched} ${module})
        set(sign_step COMMAND ${sign})
        set(certificate ${PENWICK_SIGN_PKCS12} ${PROJECT_SOURCE_DIR}/cmake/SignModule.cmake)
    else()
        set(patched ${module})
        set(sign_step "")
        set(certificate "")
    endif()
    # The linked image keeps the module's own name, which lld-link writes
    # into the export directory.
    set(linked ${dir}/linked/${module_name})
    file(MAKE_DIRECTORY ${dir}/linked)
    add_custom_command(
        OUTPUT ${module}
        COMMAND ${PENWICK_DEVICE_LLD_LINK} ${kind} /machine:arm /nodefaultlib /Brepro
                /out:${linked} /implib:${dir}/${name}.lib
                ${objects} ${freestanding} ${import_library} ${PENWICK_DEVICE_BUILTINS_LIBRARY}
                ${version_res}
        COMMAND pe_header ${linked} ${patched}
        ${sign_step}
        DEPENDS ${objects} ${freestanding} ${import_library} ${PENWICK_DEVICE_BUILTINS_LIBRARY}
                ${version_res} ${exports} pe_header ${certificate}
        COMMENT "Linking ${name} for the device"
        VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${module})
    add_dependencies(${name} penwick_device_builtins)
    set_target_properties(${name} PROPERTIES PENWICK_MODULE ${module})

    add_test(NAME ${name}_fit_for_device COMMAND device_check ${module} ${exports} ${imports}
                                                  ${PROJECT_VERSION})
endfunction()
