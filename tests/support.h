// Helpers shared by the tests: a scratch folder and a way to run the built
// program with exact argument bytes, capturing what it prints.
#pragma once

#include <string>
#include <vector>

struct ran {
    int code = -1;   // exit code, or -1 when the program did not exit normally
    std::string err; // everything written to standard error
    std::string out; // everything written to standard output
};

// Runs the pellucid executable in folder dir with the given arguments.
ran run_pellucid(const std::string& dir, const std::vector<std::string>& args);

// A fresh empty folder, removed with everything in it when the object dies.
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
void write_file(const std::string& path, const std::string& bytes);
bool exists(const std::string& path);

// The console lines of a run, for comparing with what a case expects.
extern const char* const banner;
std::string echo(const char* gga = "Enable", const char* rmc = "Enable", const char* gsv = "Enable",
                 const char* zda = "Enable", const std::string& utc = "TIMEB",
                 const std::string& ext = "nme");
extern const char* const usage;
std::string summary(int lines, int bestpos = 0, int bestvel = 0, int satvis = 0, int trackstat = 0,
                    int time = 0, int psrdop = 0);
