#pragma once

#include <cstdint>
#include <random>
#include <string>

// Requests and answers as they stand on the wire.

inline std::string get(const std::string& path, const std::string& method = "GET")
{
    return method + " " + path + " HTTP/1.0\r\nUser-Agent: phone\r\n\r\n";
}

inline std::string response(const std::string& status, const std::string& type, const std::string& body)
{
    return status + "\r\nContent-Length:" + std::to_string(body.size()) + "\r\nContent-type:" + type +
        "\r\nServer:Corvelle Server\r\n\r\n" + body;
}

inline std::string okResponse(const std::string& type, const std::string& body)
{
    return response("HTTP/1.0 200 OK", type, body);
}

inline const std::string kDescriptorType = "text/vnd.sun.j2me.app-descriptor";
inline const std::string kArchiveType = "application/java-archive";

// Bytes of every value, the same for the same size and seed.
inline std::string randomBytes(std::size_t size, std::uint32_t seed = 42)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}
