// What an action throws, as text: for tests of the messages a layer's errors carry.
#ifndef TONEMIX_TEST_THROWN_TEXT_H
#define TONEMIX_TEST_THROWN_TEXT_H

#include <string>

namespace tonemix_test {

// The message of the Error `action` throws, or "" when it throws none. Any other exception goes
// on, so that a test sees it as the failure it is.
template <class Error, class Action>
std::string thrown_text(Action&& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

}  // namespace tonemix_test

#endif
