#pragma once

#include <string>

// Told of every descriptor file answered with 200, as it goes out, by the
// engine's thread: it must not block.
class ServedDescriptorWatcher {
public:
    virtual ~ServedDescriptorWatcher() = default;
    // `mappedPath` is the game directory and the request path.
    virtual void descriptorServed(std::string mappedPath) = 0;
};
