#pragma once
// The command-line front end: every option of the import form as a flag.

#include <iosfwd>
#include <string>
#include <vector>

namespace tvx {

// Runs the command line; returns the exit code (0 ran, 1 refused or a stop
// message was shown, 2 usage error). Questions are read from `in` when
// `interactive` is true, else answered No (Yes with --yes).
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, bool interactive);

}  // namespace tvx
