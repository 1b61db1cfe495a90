// The platform layer: everything that differs between Windows and the POSIX
// systems lives behind these few functions, so that the rest of the program
// sees one world of wide strings, byte files and CRLF lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

// The program run, defined by the driver; the platform's entry point hands it
// the command line as wide strings.
int run(int argc, wchar_t** argv);

namespace sys {

// Writes wide text to the standard error stream (UTF-8 where the stream is
// not a console). Nothing of the program ever goes to standard output.
void con_write(const std::wstring& text);

// Open the input for reading and the output for writing, both in binary mode:
// the writer puts CR LF at the end of every line itself, so the output holds
// the same bytes on every platform. Null on failure.
std::FILE* open_in(const std::wstring& path);
std::FILE* open_out(const std::wstring& path);

// The output of a run is written to a new file beside its name, which
// takes the name only at the end of a run that succeeded, so that a run
// that fails leaves the name as it was. These are the steps.

// What a name denotes for that: nothing yet, a regular file, or anything
// else (a folder, a symbolic link, a named pipe, a device), which a run
// writes through as it is.
enum class kind { absent, regular, other };
kind kind_of(const std::wstring& path);

// True when the existing file may be opened for writing; it is not changed.
bool can_write(const std::wstring& path);

// Creates a new file in the folder of path and opens it for writing in
// binary mode, under a name that no file has (it is created exclusively,
// never over another file) and no user would pick: "." and the file name
// (its first 40 characters), ".pellucid-" and six random letters and
// digits. Its name goes to temp. On POSIX it takes the permission bits of
// the regular file at path, if there is one. Null when it cannot be made.
std::FILE* open_temp(const std::wstring& path, std::wstring& temp);

// Tests can fix the seed of those names, so that the names tried, one after
// another, are the same at every call and known beforehand (-1, the default,
// draws a seed from the clock, the process and a count of the calls).
void fix_temp_seed(std::int64_t seed);

// Gives the file `from` the name `to`, replacing the file of that name in
// one step; false when that fails.
bool replace(const std::wstring& from, const std::wstring& to);

// Removes the file; false when that fails.
bool remove_file(const std::wstring& path);

// Writes n bytes to the file; answers whether all of them were written.
// Tests can make writing fail once n more bytes have been written, as a
// full disk does (-1, the default, means never).
bool write(std::FILE* f, const void* p, std::size_t n);
void fail_write_after(std::int64_t n);

// True when both names exist and denote one and the same file (the same
// device and inode, or volume and file index), whatever the names look like.
bool same_file(const std::wstring& a, const std::wstring& b);

#ifdef _WIN32
// A file name as Windows takes it at any length; every call here that hands
// a name to the system passes it through this. When the full path is longer
// than the plain form allows (MAX_PATH: 260 characters with the closing
// null), the answer is the full path (absolute, "." and ".." resolved, "/"
// turned into "\") in the \\?\ form, which has no such limit but takes the
// name exactly as written; \\server\share\... becomes \\?\UNC\server\share\...
// Shorter names come back unchanged.
std::wstring long_name(const std::wstring& path);
#endif

// Wide text of a file name as bytes for the file system and back. On POSIX
// bytes that are not valid UTF-8 travel as U+DC80..U+DCFF, so any name
// round-trips; on Windows the names are UTF-16 already.
std::wstring from_bytes(const std::string& bytes);
std::string to_bytes(const std::wstring& text);

// The run's fixed buffers and records are obtained through here, with
// allocations that answer null instead of throwing. Tests can make the n-th
// following request fail (n counts from 0; -1, the default, means never).
bool grab_allowed();
void fail_grab_after(int n);

inline std::uint8_t* grab(std::size_t n)
{
    return grab_allowed() ? new (std::nothrow) std::uint8_t[n] : nullptr;
}

template <class T> T* grab_record()
{
    return grab_allowed() ? new (std::nothrow) T : nullptr;
}

} // namespace sys
