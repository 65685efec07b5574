// kovra-report: support's reader for the reports the tool writes. Every command reads the report
// piece by piece (the container deciphered where the archive is read), with bounded memory.
// The commands are one table (commands/command_table.h).
#include <string>
#include <vector>

#include "commands/command_table.h"

int main(int argc, char** argv) {
  return kovra::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
}
