#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace wv {

// The command line of wovanu-cloudctl: which container (a folder given with --folder, else
// the program's own configuration), then one command that prints a table as tab-separated
// lines or sets a control. Returns the exit status: 0 done, 1 refused or failed (a line on
// `err` says why), 2 a command line it does not understand.
class CloudCtl {
  public:
    int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

    static const char* usage();
};

}  // namespace wv
