// Helpers shared by the encoding and byte-source tests.
#pragma once

#include <initializer_list>
#include <string>

/// The message of the exception of class E that f raises, or "(no error)".
template <class E, class F> std::string messageOf(F f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(no error)";
}

/// A byte string from byte values.
inline std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}
