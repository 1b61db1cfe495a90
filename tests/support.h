// Helpers shared by the tests: a scratch folder, files by UTF-8 name, and a
// way to run the built program with exact argument text, capturing what it
// prints. The same tests run on Linux and on Windows; these helpers hold the
// differences.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

struct ran {
    int code = -1;   // exit code, or -1 when the program did not exit normally
    std::string err; // everything written to standard error
    std::string out; // everything written to standard output
};

// How the program is started, beyond its arguments.
struct launch {
    // When set, standard error goes to this file of the folder (created, or
    // emptied first, as a shell's "2>" does) instead of into ran::err.
    std::string err_file;
    // When 0 or more, the largest file in bytes the program may write
    // (POSIX: RLIMIT_FSIZE, with its signal ignored so that the write fails
    // instead); -1, and on Windows always, no limit.
    long long file_size = -1;
    // When set and the tests run as root (who may write any file), the
    // program runs as user and group 65534 (nobody), for whom permissions
    // hold (POSIX); otherwise as the tests' own user.
    bool unprivileged = false;
};

// Runs the pellucid executable in folder dir with the given arguments.
// Names and arguments are UTF-8 text (on POSIX any bytes); the program gets
// them exactly, whatever spaces, quotes or backslashes they hold.
ran run_pellucid(const std::string& dir, const std::vector<std::string>& args,
                 const launch& how = {});

// A file system path from a UTF-8 name, and back.
std::filesystem::path fs_path(const std::string& utf8);
std::string utf8_name(const std::filesystem::path& p);

// A fresh empty folder in the system's temporary folder, removed with
// everything in it when the object dies.
class scratch {
  public:
    scratch();
    ~scratch();
    scratch(const scratch&) = delete;
    scratch& operator=(const scratch&) = delete;
    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "/" + name; }

  private:
    std::string dir;
};

std::string read_file(const std::string& path);

// "%0<width>.<prec>f" of v as the C print gives it, the sign of a NaN
// included: the Windows C print drops it, the engine prints it on every
// platform, as glibc does.
std::string c_fixed(double v, int prec, int width = 0);

// The comma-separated fields of a line, empty ones included.
std::vector<std::string> split_fields(const std::string& line);
void write_file(const std::string& path, const std::string& bytes);
bool exists(const std::string& path);

// The names of everything in a folder, sorted.
std::vector<std::string> names_in(const std::string& dir);

// Makes a symbolic link at link that points to target. Answers an empty
// text on success, else why the system could not make it (Windows without
// the privilege, or Wine, which has no symbolic links).
std::string make_symlink(const std::string& target, const std::string& link);

// A pipe whose reading end, in a thread of its own, takes the first `take`
// bytes written and then closes, so that every write after that fails, as
// when the reader of a pipe goes away midway. file() is the writing end,
// unbuffered; on POSIX no signal is raised by a write without a reader
// while the pipe exists.
class draining_pipe {
  public:
    explicit draining_pipe(std::size_t take);
    ~draining_pipe();
    draining_pipe(const draining_pipe&) = delete;
    draining_pipe& operator=(const draining_pipe&) = delete;
    std::FILE* file() const { return w; }

  private:
    std::FILE* w = nullptr;
    std::thread reader;
    void (*old_handler)(int) = nullptr;
};

// Makes a named pipe (FIFO) at path. Answers an empty text on success, else
// why not (Windows has none in its file system).
std::string make_fifo(const std::string& path);

// True on Windows, where some cases cannot exist and a few answers differ.
extern const bool on_windows;

// The console lines of a run, for comparing with what a case expects.
extern const char* const banner;
std::string echo(const char* gga = "Enable", const char* rmc = "Enable", const char* gsv = "Enable",
                 const char* zda = "Enable", const std::string& utc = "TIMEB",
                 const std::string& ext = "nme");
extern const char* const usage;
std::string summary(int lines, int bestpos = 0, int bestvel = 0, int satvis = 0, int trackstat = 0,
                    int time = 0, int psrdop = 0);
