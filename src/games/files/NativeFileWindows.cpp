#include "NativeFile.h"

#include "Utf8FileName.h"

#include <type_traits>

#include <windows.h>

static_assert(std::is_same_v<NativeFile, HANDLE>);

namespace {

// No file is kept once the process holds this many handles. Windows has no
// descriptor limit to stay clear of (a process may hold millions of
// handles), and the cache's capacity bounds what it holds itself; this keeps
// a leak elsewhere in the program from being fed by files kept open.
constexpr DWORD kMostHandles = 8192;

// Every kind of sharing: a served game can be replaced, renamed or deleted
// while it is open, as on a POSIX system.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FILETIME's ticks of 100 ns since 1601, from 1970.
constexpr std::int64_t kTicksTo1970 = 116444736000000000;
constexpr std::int64_t kTicksPerSecond = 10'000'000;

std::int64_t ticksOf(const FILETIME& time)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

std::chrono::sys_time<std::chrono::nanoseconds> sysTimeOf(std::int64_t ticks)
{
    return std::chrono::sys_time<std::chrono::nanoseconds>(std::chrono::nanoseconds((ticks - kTicksTo1970) * 100));
}

std::optional<FileLook> lookAtHandle(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return std::nullopt;
    const std::int64_t written = ticksOf(info.ftLastWriteTime);
    // The change time also moves when the attributes or the security do;
    // file systems without one (FAT) have the last write stand in for it.
    FILE_BASIC_INFO basic{};
    std::int64_t changed = written;
    if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) && basic.ChangeTime.QuadPart != 0)
        changed = basic.ChangeTime.QuadPart;
    const std::int64_t sinceEpoch = changed - kTicksTo1970;
    // Floored, so that the nanoseconds are never negative, as on POSIX.
    std::int64_t seconds = sinceEpoch / kTicksPerSecond;
    if (sinceEpoch % kTicksPerSecond < 0)
        --seconds;

    FileLook look;
    look.stamp.size = (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    look.stamp.modified = std::filesystem::file_time_type::clock::from_sys(sysTimeOf(written));
    look.stamp.changedSeconds = seconds;
    look.stamp.changedNanoseconds = (sinceEpoch - seconds * kTicksPerSecond) * 100;
    look.stamp.device = info.dwVolumeSerialNumber;
    look.stamp.inode = (static_cast<std::uintmax_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    look.ordinary = GetFileType(file) == FILE_TYPE_DISK
                    && (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    look.access = {info.dwFileAttributes, info.nNumberOfLinks, 0, 0};
    return look;
}

bool leadsNowhere(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_CANT_RESOLVE_FILENAME:
        return true;
    default:
        return false;
    }
}

// Opening a folder for reading is refused like a file one may not read, and
// so is opening a file deleted while someone still has it open: a folder is
// no file to serve, and a deleted file is gone, though its name lingers.
bool isFolderOrGone(const std::filesystem::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

OpenAttempt openForReading(const std::string& path)
{
    const std::filesystem::path name = pathFromUtf8(path);
    const HANDLE file =
        CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        return OpenAttempt{file};
    const DWORD error = GetLastError();
    return OpenAttempt{kNoFile, leadsNowhere(error) || (error == ERROR_ACCESS_DENIED && isFolderOrGone(name))};
}

void closeFile(NativeFile file)
{
    CloseHandle(file);
}

std::optional<FileLook> lookAt(NativeFile file)
{
    return lookAtHandle(file);
}

std::optional<FileLook> lookAtName(const std::filesystem::path& path)
{
    if (path.empty())
        return std::nullopt;
    // Windows looks at a file by name only through a handle: one that may
    // read the attributes alone. Backup semantics let it open a folder too,
    // whose stamp tells when its entries changed.
    const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<FileLook> look = lookAtHandle(file);
    CloseHandle(file);
    return look;
}

bool hasRoomToKeep(NativeFile)
{
    DWORD handles = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &handles) && handles < kMostHandles;
}
