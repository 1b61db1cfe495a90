#include "sys.h"

#include <chrono>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cwchar>
#else
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sys {

namespace {
int grab_countdown = -1;
std::int64_t write_budget = -1;
std::int64_t fixed_seed = -1;

// The folder part of a path, separators and drive included (empty for a
// bare name), and the name after it.
std::size_t name_start(const std::wstring& path)
{
#ifdef _WIN32
    std::size_t sep = path.find_last_of(L"\\/");
    if (sep == std::wstring::npos)
        return path.size() >= 2 && path[1] == L':' ? 2 : 0;
    return sep + 1;
#else
    std::size_t sep = path.find_last_of(L'/');
    return sep == std::wstring::npos ? 0 : sep + 1;
#endif
}

// The name of try number `attempt` of a new file beside path, from a seed
// that differs between processes and between calls.
std::wstring temp_name(const std::wstring& path, std::uint64_t seed, int attempt)
{
    std::size_t at = name_start(path);
    std::wstring name = path.substr(at, 40);
    // A pair of UTF-16 surrogates is never cut in two.
    if (name.size() == 40 && name.back() >= 0xD800 && name.back() <= 0xDBFF)
        name.pop_back();
    // splitmix64: every bit of the seed and the attempt in every letter.
    std::uint64_t z = seed + 0x9E3779B97F4A7C15u * static_cast<std::uint64_t>(attempt + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    static const wchar_t letters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring tag;
    for (int i = 0; i < 6; ++i, z /= 36)
        tag += letters[z % 36];
    return path.substr(0, at) + L"." + name + L".pellucid-" + tag;
}

std::uint64_t calls = 0;

// The seed of a call's names: the one drawn, unless a test fixed it.
std::uint64_t seed_of(std::uint64_t drawn)
{
    return fixed_seed >= 0 ? static_cast<std::uint64_t>(fixed_seed) : drawn;
}
} // namespace

void fix_temp_seed(std::int64_t seed)
{
    fixed_seed = seed;
}

void fail_write_after(std::int64_t n)
{
    write_budget = n;
}

bool write(std::FILE* f, const void* p, std::size_t n)
{
    if (write_budget >= 0) {
        if (static_cast<std::uint64_t>(write_budget) < n) {
            std::fwrite(p, 1, static_cast<std::size_t>(write_budget), f);
            write_budget = 0;
            return false;
        }
        write_budget -= static_cast<std::int64_t>(n);
    }
    return std::fwrite(p, 1, n, f) == n;
}

bool grab_allowed()
{
    if (grab_countdown < 0)
        return true;
    return grab_countdown-- != 0;
}

void fail_grab_after(int n)
{
    grab_countdown = n;
}

#ifdef _WIN32

std::wstring from_bytes(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    int n =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}

std::string to_bytes(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

void con_write(const std::wstring& text)
{
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode)) {
        DWORD done = 0;
        WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        return;
    }
    std::string bytes = to_bytes(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

std::wstring long_name(const std::wstring& path)
{
    auto starts = [](const std::wstring& s, const wchar_t* head) {
        return s.compare(0, std::wcslen(head), head) == 0;
    };
    if (starts(path, L"\\\\?\\") || starts(path, L"\\\\.\\"))
        return path;
    DWORD room = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (room == 0)
        return path;
    std::wstring full(room, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), room, &full[0], nullptr);
    if (n == 0 || n >= room)
        return path;
    full.resize(n);
    // Short enough for the plain form (MAX_PATH counts the closing null):
    // the name goes as given, so that every name that worked before is
    // still read the same way.
    if (full.size() < MAX_PATH)
        return path;
    if (starts(full, L"\\\\?\\") || starts(full, L"\\\\.\\"))
        return full;
    if (starts(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\')
        return L"\\\\?\\" + full;
    return path;
}

std::FILE* open_in(const std::wstring& path)
{
    return _wfopen(long_name(path).c_str(), L"rb");
}

std::FILE* open_out(const std::wstring& path)
{
    return _wfopen(long_name(path).c_str(), L"wb");
}

namespace {
bool file_id(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    HANDLE h = CreateFileW(long_name(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
}
} // namespace

bool same_file(const std::wstring& a, const std::wstring& b)
{
    BY_HANDLE_FILE_INFORMATION fa, fb;
    if (!file_id(a, fa) || !file_id(b, fb))
        return false;
    return fa.dwVolumeSerialNumber == fb.dwVolumeSerialNumber &&
           fa.nFileIndexHigh == fb.nFileIndexHigh && fa.nFileIndexLow == fb.nFileIndexLow;
}

kind kind_of(const std::wstring& path)
{
    // A name in the device namespace (\\.\pipe\..., \\.\COM1, and what a
    // DOS device name such as NUL stands for) is not opened to look at it:
    // opening a pipe would take one of its instances.
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(n, L'\0');
    if (n == 0 || GetFullPathNameW(path.c_str(), n, &full[0], nullptr) == 0 ||
        full.compare(0, 4, L"\\\\.\\") == 0)
        return kind::other;
    HANDLE h =
        CreateFileW(long_name(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? kind::absent : kind::other;
    BY_HANDLE_FILE_INFORMATION info;
    bool regular =
        GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    CloseHandle(h);
    return regular ? kind::regular : kind::other;
}

bool can_write(const std::wstring& path)
{
    HANDLE h =
        CreateFileW(long_name(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

std::FILE* open_temp(const std::wstring& path, std::wstring& temp)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    std::uint64_t seed = seed_of(static_cast<std::uint64_t>(now.QuadPart) ^
                                 std::uint64_t(GetCurrentProcessId()) << 32 ^ ++calls << 48);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = temp_name(path, seed, attempt);
        HANDLE h = CreateFileW(long_name(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD why = GetLastError();
            if (why == ERROR_FILE_EXISTS || why == ERROR_ALREADY_EXISTS)
                continue;
            return nullptr;
        }
        int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
        std::FILE* f = fd < 0 ? nullptr : _wfdopen(fd, L"wb");
        if (!f) {
            if (fd < 0)
                CloseHandle(h);
            else
                _close(fd);
            DeleteFileW(long_name(name).c_str());
            return nullptr;
        }
        temp = name;
        return f;
    }
    return nullptr;
}

bool replace(const std::wstring& from, const std::wstring& to)
{
    return MoveFileExW(long_name(from).c_str(), long_name(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
           0;
}

bool remove_file(const std::wstring& path)
{
    return DeleteFileW(long_name(path).c_str()) != 0;
}

#else

namespace {
// Length of the valid UTF-8 sequence at p (at most n bytes), with its code
// point, or 0 when the bytes there are not valid UTF-8 (overlong forms,
// surrogates and values above U+10FFFF included).
std::size_t utf8_seq(const unsigned char* p, std::size_t n, char32_t& cp)
{
    unsigned char b = p[0];
    std::size_t len;
    char32_t min;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        len = 2, cp = b & 0x1Fu, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, cp = b & 0x0Fu, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, cp = b & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

void put_utf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
} // namespace

std::wstring from_bytes(const std::string& bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        char32_t cp;
        std::size_t len = utf8_seq(p + i, n - i, cp);
        if (len == 0) {
            // Not UTF-8: keep the byte itself, escaped into the low surrogates.
            out += static_cast<wchar_t>(0xDC00 + p[i]);
            i += 1;
        } else {
            out += static_cast<wchar_t>(cp);
            i += len;
        }
    }
    return out;
}

std::string to_bytes(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        auto cp = static_cast<char32_t>(w);
        if (cp >= 0xDC80 && cp <= 0xDCFF)
            out += static_cast<char>(cp - 0xDC00);
        else
            put_utf8(out, cp > 0x10FFFF ? 0xFFFD : cp);
    }
    return out;
}

void con_write(const std::wstring& text)
{
    std::string bytes = to_bytes(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
}

std::FILE* open_in(const std::wstring& path)
{
    return std::fopen(to_bytes(path).c_str(), "rb");
}

std::FILE* open_out(const std::wstring& path)
{
    return std::fopen(to_bytes(path).c_str(), "wb");
}

bool same_file(const std::wstring& a, const std::wstring& b)
{
    struct stat sa, sb;
    if (stat(to_bytes(a).c_str(), &sa) != 0 || stat(to_bytes(b).c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

kind kind_of(const std::wstring& path)
{
    struct stat st;
    if (lstat(to_bytes(path).c_str(), &st) != 0)
        return errno == ENOENT ? kind::absent : kind::other;
    return S_ISREG(st.st_mode) ? kind::regular : kind::other;
}

bool can_write(const std::wstring& path)
{
    int fd = open(to_bytes(path).c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::FILE* open_temp(const std::wstring& path, std::wstring& temp)
{
    struct stat old;
    bool keep_mode = lstat(to_bytes(path).c_str(), &old) == 0 && S_ISREG(old.st_mode);
    auto now = static_cast<std::uint64_t>(
        std::chrono::system_clock::now().time_since_epoch().count()); // whatever its unit
    std::uint64_t seed = seed_of(now ^ static_cast<std::uint64_t>(getpid()) << 40 ^ ++calls << 56);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = temp_name(path, seed, attempt);
        std::string bytes = to_bytes(name);
        // Made as any new file is: its mode from 0666 and the umask.
        int fd = open(bytes.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        if (keep_mode)
            fchmod(fd, old.st_mode & 0777);
        std::FILE* f = fdopen(fd, "wb");
        if (!f) {
            close(fd);
            unlink(bytes.c_str());
            return nullptr;
        }
        temp = name;
        return f;
    }
    return nullptr;
}

bool replace(const std::wstring& from, const std::wstring& to)
{
    return std::rename(to_bytes(from).c_str(), to_bytes(to).c_str()) == 0;
}

bool remove_file(const std::wstring& path)
{
    return unlink(to_bytes(path).c_str()) == 0;
}

#endif

} // namespace sys
