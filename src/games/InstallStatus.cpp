#include "InstallStatus.h"

std::string describe(InstallStatus status)
{
    switch (status) {
    case InstallStatus::JarSizeMismatch:
        return "904 JAR size mismatch";
    case InstallStatus::AttributeMismatch:
        return "905 Attribute mismatch";
    case InstallStatus::InvalidDescriptor:
        return "906 Invalid descriptor";
    case InstallStatus::InvalidJar:
        return "907 Invalid JAR";
    }
    return std::to_string(static_cast<int>(status));
}
