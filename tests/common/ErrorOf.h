// The message of the exception a call throws, for tests of refusals.
#pragma once

#include <exception>
#include <functional>
#include <string>

inline std::string errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}
