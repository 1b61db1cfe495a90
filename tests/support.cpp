#include "support.h"

#include "platform/sys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

// Reads and drops `take` bytes from the pipe's reading end, or up to its
// end, then closes it; with the system's own read and close.
long read_fd(int fd, char* p, std::size_t n);
void close_fd(int fd);
void drain(int fd, std::size_t take);

#ifdef _WIN32

const bool on_windows = true;

namespace {

// One argument as the C runtime's command-line parser splits it back out:
// quoted when it is empty or holds blanks or quotes, quotes escaped with a
// backslash, and backslashes doubled where they come before a quote.
std::wstring as_argument(const std::wstring& a)
{
    if (!a.empty() && a.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return a;
    std::wstring q = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        q.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        q += c;
    }
    q.append(2 * slashes, L'\\');
    return q + L"\"";
}

// Standard error and output are text streams on Windows, which store each
// line end as CR LF; the cases compare the text with LF line ends.
std::string text_lines(std::string s)
{
    std::string::size_type at = 0;
    while ((at = s.find("\r\n", at)) != std::string::npos)
        s.erase(at, 1);
    return s;
}

// A file handle that the started program inherits as a standard stream.
HANDLE inheritable(const std::wstring& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

ran run_pellucid(const std::string& dir, const std::vector<std::string>& args, const launch& how)
{
    scratch cap;
    std::string errf = how.err_file.empty() ? cap.file("stderr") : dir + "/" + how.err_file;
    std::string outf = cap.file("stdout");
    std::wstring prog = fs::absolute(PELLUCID_BIN).make_preferred().wstring();
    std::wstring line = as_argument(prog);
    for (const std::string& a : args)
        line += L" " + as_argument(sys::from_bytes(a));

    HANDLE in = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE err = inheritable(fs_path(errf).wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE out = inheritable(fs_path(outf).wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    std::wstring cwd = fs_path(dir).wstring();
    bool started = in != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                   out != INVALID_HANDLE_VALUE &&
                   CreateProcessW(prog.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  cwd.c_str(), &si, &pi);
    DWORD why = started ? 0 : GetLastError();
    for (HANDLE h : {in, err, out})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    ran r;
    if (!started) {
        r.err = "(not started: error " + std::to_string(why) + ")";
        return r;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // Exceptions that end a process show as NTSTATUS codes 0xC0000000 and up.
    r.code = code >= 0xC0000000u ? -1 : static_cast<int>(code);
    if (how.err_file.empty())
        r.err = text_lines(read_file(errf));
    r.out = text_lines(read_file(outf));
    return r;
}

std::string make_symlink(const std::string& target, const std::string& link)
{
    std::wstring l = fs_path(link).wstring();
    std::wstring t = fs_path(target).make_preferred().wstring();
    if (!CreateSymbolicLinkW(l.c_str(), t.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        return "CreateSymbolicLinkW failed with error " + std::to_string(GetLastError()) +
               " (no privilege or developer mode)";
    // Wine answers success without making anything.
    DWORD a = GetFileAttributesW(l.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_REPARSE_POINT))
        return "CreateSymbolicLinkW answered success but made no link (as under Wine)";
    return "";
}

std::string make_fifo(const std::string&)
{
    return "Windows has no named pipes in its file system";
}

long read_fd(int fd, char* p, std::size_t n)
{
    return _read(fd, p, static_cast<unsigned>(n));
}

void close_fd(int fd)
{
    _close(fd);
}

draining_pipe::draining_pipe(std::size_t take)
{
    int fds[2];
    if (_pipe(fds, 65536, _O_BINARY) != 0)
        throw std::runtime_error("no pipe");
    w = _fdopen(fds[1], "wb");
    std::setvbuf(w, nullptr, _IONBF, 0);
    int r = fds[0];
    reader = std::thread(drain, r, take);
}

draining_pipe::~draining_pipe()
{
    std::fclose(w);
    reader.join();
}

#else

const bool on_windows = false;

ran run_pellucid(const std::string& dir, const std::vector<std::string>& args, const launch& how)
{
    scratch cap;
    std::string errf = how.err_file.empty() ? cap.file("stderr") : dir + "/" + how.err_file;
    std::string outf = cap.file("stdout");
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        if (!std::freopen(errf.c_str(), "wb", stderr) || !std::freopen(outf.c_str(), "wb", stdout))
            _exit(127);
        if (how.file_size >= 0) {
            std::signal(SIGXFSZ, SIG_IGN); // kept across exec: a write past the limit fails
            rlimit lim{static_cast<rlim_t>(how.file_size), static_cast<rlim_t>(how.file_size)};
            if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
                _exit(127);
        }
        if (how.unprivileged && geteuid() == 0) {
            const uid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
                _exit(127);
        }
        std::vector<char*> argv;
        std::string prog = PELLUCID_BIN;
        argv.push_back(&prog[0]);
        std::vector<std::string> copy = args;
        for (auto& a : copy)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execv(prog.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ran r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (how.err_file.empty())
        r.err = read_file(errf);
    r.out = read_file(outf);
    return r;
}

std::string make_symlink(const std::string& target, const std::string& link)
{
    std::error_code ec;
    fs::create_symlink(fs_path(target), fs_path(link), ec);
    return ec ? ec.message() : "";
}

std::string make_fifo(const std::string& path)
{
    return mkfifo(path.c_str(), 0644) == 0 ? "" : std::strerror(errno);
}

long read_fd(int fd, char* p, std::size_t n)
{
    return static_cast<long>(read(fd, p, n));
}

void close_fd(int fd)
{
    close(fd);
}

draining_pipe::draining_pipe(std::size_t take)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("no pipe");
    old_handler = std::signal(SIGPIPE, SIG_IGN);
    w = fdopen(fds[1], "wb");
    std::setvbuf(w, nullptr, _IONBF, 0);
    int r = fds[0];
    reader = std::thread(drain, r, take);
}

draining_pipe::~draining_pipe()
{
    std::fclose(w);
    reader.join();
    std::signal(SIGPIPE, old_handler);
}

#endif

void drain(int fd, std::size_t take)
{
    static char buf[65536];
    for (std::size_t got = 0; got < take;) {
        std::size_t want = take - got < sizeof buf ? take - got : sizeof buf;
        long n = read_fd(fd, buf, want);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    close_fd(fd);
}

fs::path fs_path(const std::string& utf8)
{
    return fs::u8path(utf8);
}

std::string utf8_name(const fs::path& p)
{
    return p.u8string();
}

scratch::scratch()
{
    std::random_device seed;
    std::mt19937 rng(seed());
    fs::path tmp = fs::temp_directory_path();
    for (int tries = 0; tries < 100; ++tries) {
        fs::path p = tmp / ("pellucid-test-" + std::to_string(rng()));
        if (fs::create_directory(p)) {
            dir = utf8_name(p);
            return;
        }
    }
    throw std::runtime_error("no fresh scratch folder in " + utf8_name(tmp));
}

scratch::~scratch()
{
    std::error_code ec;
    fs::remove_all(fs_path(dir), ec);
}

std::string read_file(const std::string& path)
{
    std::ifstream f(fs_path(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream f(fs_path(path), std::ios::binary);
    f << bytes;
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return fs::symlink_status(fs_path(path), ec).type() != fs::file_type::not_found && !ec;
}
std::string c_fixed(double v, int prec, int width)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, "%0*.*f", width, prec, v);
    std::string s = buf;
    if (std::isnan(v) && std::signbit(v) && s.find('-') == std::string::npos) {
        std::size_t at = s.size() - 3;
        if (at > 0 && s[at - 1] == ' ')
            s[at - 1] = '-';
        else
            s.insert(at, "-");
    }
    return s;
}

std::vector<std::string> split_fields(const std::string& line)
{
    std::vector<std::string> f;
    std::size_t at = 0, comma;
    while ((comma = line.find(',', at)) != std::string::npos) {
        f.push_back(line.substr(at, comma - at));
        at = comma + 1;
    }
    f.push_back(line.substr(at));
    return f;
}

std::vector<std::string> names_in(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs_path(dir)))
        names.push_back(utf8_name(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

const char* const banner = "Pellucid version " PELLUCID_VERSION "\n";

std::string echo(const char* gga, const char* rmc, const char* gsv, const char* zda,
                 const std::string& utc, const std::string& ext)
{
    std::string utcline =
        utc == "TIMEB" || utc == "auto" ? "UTC   : " + utc + "\n" : "UTC   : " + utc + " sec\n";
    return std::string("GPGGA : ") + gga + "\n" + "GPRMC : " + rmc + "\n" + "GPGSV : " + gsv +
           "\n" + "GPZDA : " + zda + "\n" + utcline + "Ext   : " + ext + "\n";
}

const char* const usage = "USAGE: Pellucid NovatelBinaryFile.log [options]\n"
                          "options: /rmc       Disable $GPRMC\n"
                          "         /gga       Disable $GPGGA\n"
                          "         /gsv       Disable $GPGSV\n"
                          "         /zda       Disable $GPZDA\n"
                          "         /utc [n]   Set UTC offset manually -n[sec]\n"
                          "         /ext [x]   Set extension for output file\n"
                          "Required Novatel Packet:\n"
                          " $GPGGA: BESTPOSB, PSRDOPB(*3), TIMEB(*1)\n"
                          " $GPRMC: BESTPOSB, BESTVELB(*2), TIMEB(*1)\n"
                          " $GPGSV: SATVISB, TRACKSTATB\n"
                          " $GPZDA: TIMEB\n"
                          "(*1) if you use /utc option, TIMEB is unnecessary.\n"
                          "(*2) if no BESTVELB, speed and direction fields will be NULL.\n"
                          "(*3) if no PSRDOPB, DOP field will be NULL.\n"
                          "Extensions:\n"
                          "         /all       Also read INSPVA(S/X), BESTXYZ, PSRDOP2, SATVIS2, "
                          "HEADING(2), ASCII logs\n"
                          "                    and write $GPGSA, $GPGST, $GPVTG, $GPHDT\n"
                          "         /utc auto  UTC offset from the leap-second table until TIMEB "
                          "gives it\n"
                          "         /gsa /gst /vtg /hdt  Disable a sentence that /all adds\n"
                          "         /ggartk    $GPGGA with RTK precision (as GPGGARTK)\n";

std::string summary(int lines, int bestpos, int bestvel, int satvis, int trackstat, int time,
                    int psrdop)
{
    auto n = [](int v) { return std::to_string(v) + "\n"; };
    return "OUTPUT:     " + std::to_string(lines) + " lines\n" + "BESTPOSB:   " + n(bestpos) +
           "BESTVELB:   " + n(bestvel) + "SATVISB:    " + n(satvis) +
           "TRACKSTATB: " + n(trackstat) + "TIMEB:      " + n(time) + "PSRDOPB:    " + n(psrdop);
}
