#include "InstallAdvice.h"

namespace {

// The way out of a fault in the descriptor, the same as the game check gives.
std::string fixDescriptor(std::string_view descriptorName, bool repaired)
{
    return (repaired ? "fix " : "turn on Repair Descriptors or fix ") + std::string(descriptorName);
}

} // namespace

std::string installAdvice(int code, std::string_view descriptorName, bool repaired)
{
    const std::string name(descriptorName);
    switch (code) {
    case 901:
        return "the phone has too little room for it; free memory on the phone or use a smaller build";
    case 902:
        return "cancelled on the phone; install it again when ready";
    case 903:
        return "the phone lost the connection; bring it closer to the network and install again";
    case 904:
        return "the descriptor's MIDlet-Jar-Size differs from the archive; " + fixDescriptor(name, repaired);
    case 905:
        return "MIDlet-Name, -Vendor or -Version differ between the descriptor and the manifest; " +
               fixDescriptor(name, repaired);
    case 906:
        return "the phone cannot read the descriptor; " + fixDescriptor(name, repaired);
    case 907:
        return "the archive is not a game the phone can read, or MIDlet-Jar-URL does not lead to it; "
               "build the archive again or " +
               fixDescriptor(name, repaired);
    case 908:
        return "the game needs a newer phone (MicroEdition-Profile, -Configuration); use a build for this phone";
    case 909:
        return "the phone does not trust the signature; use an unsigned build";
    case 910:
        return "the game asks for permissions without a signature the phone trusts; remove MIDlet-Permissions from " +
               name + " or sign the game";
    case 911:
        return "the phone refused the game's push registration; remove the MIDlet-Push lines from " + name;
    case 913:
        return "the phone lacks a package the game needs; use a build for this phone";
    default:
        return {};
    }
}
