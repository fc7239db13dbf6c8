#pragma once
// Handlers without an error trap (the folder box, the method options, the
// closing of the window): a failure is said on standard error, and what the
// user did stays on screen.
#include <cstdio>
#include <exception>

namespace quendrel {

template <typename Action>
void Unguarded(Action&& action) {
    try {
        action();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "quendrel: %s\n", failure.what());
    }
}

}  // namespace quendrel
