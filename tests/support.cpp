#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

ran run_pellucid(const std::string& dir, const std::vector<std::string>& args)
{
    scratch cap;
    std::string errf = cap.file("stderr"), outf = cap.file("stdout");
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        if (!std::freopen(errf.c_str(), "wb", stderr) || !std::freopen(outf.c_str(), "wb", stdout))
            _exit(127);
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
    r.err = read_file(errf);
    r.out = read_file(outf);
    return r;
}

scratch::scratch()
{
    char tmpl[] = "/tmp/pellucid-test-XXXXXX";
    if (!mkdtemp(tmpl))
        throw std::runtime_error("mkdtemp failed");
    dir = tmpl;
}

scratch::~scratch()
{
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::string read_file(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() !=
               std::filesystem::file_type::not_found &&
           !ec;
}

const char* const banner = "Pellucid version 1.0\n";

std::string echo(const char* gga, const char* rmc, const char* gsv, const char* zda,
                 const std::string& utc, const std::string& ext)
{
    std::string utcline = utc == "TIMEB" ? "UTC   : TIMEB\n" : "UTC   : " + utc + " sec\n";
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
                          "(*3) if no PSRDOPB, DOP field will be NULL.\n";

std::string summary(int lines, int bestpos, int bestvel, int satvis, int trackstat, int time,
                    int psrdop)
{
    auto n = [](int v) { return std::to_string(v) + "\n"; };
    return "OUTPUT:     " + std::to_string(lines) + " lines\n" + "BESTPOSB:   " + n(bestpos) +
           "BESTVELB:   " + n(bestvel) + "SATVISB:    " + n(satvis) +
           "TRACKSTATB: " + n(trackstat) + "TIMEB:      " + n(time) + "PSRDOPB:    " + n(psrdop);
}
