#include "PhoneReach.h"

std::vector<std::string> phoneOrigins(std::uint16_t port)
{
    std::vector<std::string> origins;
    for (const std::string& host : lanIPv4Addresses())
        origins.push_back("http://" + host + ":" + std::to_string(port));
    return origins;
}

std::string phoneReachLine(std::optional<std::uint16_t> listeningPort)
{
    if (!listeningPort)
        return "Phones cannot connect yet: the server is not listening.";
    const std::vector<std::string> lan = lanIPv4Addresses();
    std::string reach;
    for (const std::string& host : lan.empty() ? std::vector<std::string>{"127.0.0.1"} : lan)
        reach += (reach.empty() ? "" : " or ") + ("http://" + host + ":" + std::to_string(*listeningPort) + "/");
    return "Phones install games from " + reach + (lan.empty() ? " (no network found: this machine only)" : "");
}
