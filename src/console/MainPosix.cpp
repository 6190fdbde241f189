#include "ConsoleProgram.h"

#include <filesystem>

int main(int argc, char* argv[])
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return runConsole(std::vector<std::string>(argv + 1, argv + argc), program.parent_path());
}
