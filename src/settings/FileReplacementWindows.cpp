#include "FileReplacement.h"

#include "Utf8Path.h"

#include <filesystem>

#include <windows.h>

namespace fs = std::filesystem;

namespace {

bool writeAll(HANDLE file, std::string_view text)
{
    while (!text.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
        if (!WriteFile(file, text.data(), chunk, &written, nullptr) || written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

// A new file beside the target that no one else is using.
HANDLE createBeside(const fs::path& target, fs::path& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target;
        name += L".new." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(attempt);
        const HANDLE file =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool replaceFileContents(const std::string& file, std::string_view text)
{
    const fs::path target = pathFromUtf8(file);
    fs::path temporary;
    const HANDLE descriptor = createBeside(target, temporary);
    if (descriptor == INVALID_HANDLE_VALUE)
        return false;
    const bool filled = writeAll(descriptor, text) && FlushFileBuffers(descriptor);
    const bool closed = CloseHandle(descriptor);
    // The move is written through before it returns: it lasts a power cut.
    if (!filled || !closed ||
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}
