// For tests of the tool's parsers: what a call reports as an InputError.
#ifndef PENWICK_TESTS_TOOLS_INPUT_ERROR_SUPPORT_H
#define PENWICK_TESTS_TOOLS_INPUT_ERROR_SUPPORT_H

#include <functional>
#include <string>

#include "files/input.h"

// The message of the InputError that `call` throws, or "no error".
inline std::string InputErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const InputError& e) {
        return e.what();
    }
    return "no error";
}

#endif
