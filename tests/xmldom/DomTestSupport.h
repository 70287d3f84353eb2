// Shared helpers of the object-model tests: expecting a DOM exception with its exact text,
// and a small recorder of notifications.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlDom.h"

namespace domtest {

using namespace xmldom;

/// Runs body and checks it raises E with the given message.
template <class E, class F>
::testing::AssertionResult raises(F&& body, const char16_t* message) {
    try {
        body();
    } catch (const E& e) {
        if (e.Message == ToUtf8(message)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "message was: " << e.Message;
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "other exception: " << e.what();
    }
    return ::testing::AssertionFailure() << "nothing raised";
}

/// Names of the children of node, joined by ",".
inline std::string childNames(const TdomNode* node) {
    std::string out;
    for (TdomNode* c = node->getFirstChild(); c; c = c->getNextSibling()) {
        if (!out.empty()) out += ",";
        out += ToUtf8(c->getNodeName());
    }
    return out;
}

inline std::string u8(const WideString& s) { return ToUtf8(s); }

}  // namespace domtest
