#pragma once

#include <QStringList>

// This machine's IPv4 addresses on its networks (loopback left out), the
// ones a phone on the same network can reach.
[[nodiscard]] QStringList lanIPv4Addresses();
