#pragma once

#include <stdexcept>

namespace preview {

// Anything that stops the tool before it has done what it was asked: the
// message is for the user, and the tool exits with status 2.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace preview
