# cmake -DOBJDUMP=... -DMODULE=Penwick.dll -DDEF=Penwick.def -P check_module_tables.cmake
# Fails unless the module exports exactly the .def's names under its ordinals
# and imports only from the system's own libraries.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${MODULE}")
endif()

# Expected: "Name @N" from the .def.
file(STRINGS ${DEF} def_lines REGEX "@[0-9]+")
set(expected "")
foreach(line IN LISTS def_lines)
    string(REGEX MATCH "([A-Za-z0-9_]+)[ \t]+@([0-9]+)" _ "${line}")
    list(APPEND expected "${CMAKE_MATCH_1}@${CMAKE_MATCH_2}")
endforeach()

# Found: the name table, "[index] Name", ordinal = index + base.
string(REGEX MATCH "Ordinal Base ([0-9]+)" _ "${dump}")
set(base ${CMAKE_MATCH_1})
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(([ \t]+\\[[ 0-9]+\\][^\n]*\n)*)" _ "${dump}")
string(REPLACE "\n" ";" name_lines "${CMAKE_MATCH_1}")
set(found "")
foreach(line IN LISTS name_lines)
    if(line MATCHES "\\[ *([0-9]+)\\] (.+)$")
        math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
        list(APPEND found "${CMAKE_MATCH_2}@${ordinal}")
    endif()
endforeach()
list(LENGTH expected expected_count)
if(NOT expected_count EQUAL 18 OR NOT found STREQUAL expected)
    message(FATAL_ERROR "exports differ\n  expected: ${expected}\n  found:    ${found}")
endif()

# Imports: the system libraries only; no C++ runtime, libgcc or threads DLL.
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(allowed "ADVAPI32.DLL;KERNEL32.DLL;MSVCRT.DLL;USER32.DLL")
foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOUPPER "${dll}" dll_upper)
    if(NOT dll_upper IN_LIST allowed)
        message(FATAL_ERROR "unexpected import: ${dll}")
    endif()
endforeach()
message(STATUS "exports: ${found}\nimports: ${imports}")
