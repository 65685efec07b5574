// The reader's commands as one table: each command's name, arguments, one-line help and
// handler. The table drives dispatch, --help and usage errors, and every command answers by
// one exit policy:
//   0  done
//   1  the command found something: differences (diff), a report that could not be added
//      (index)
//   2  trouble: a usage error, an unreadable or damaged input, an output that cannot be written
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kovra {

enum class Exit : int { kDone = 0, kFound = 1, kTrouble = 2 };

// An option a command takes: a flag ("--json") or one with a value ("--codepage N").
struct CommandOption {
  const char* name;
  const char* value;  // the value's name in the help; nullptr for a flag
  bool required = false;
};

// A command line checked against its command: the positional arguments and the options given.
struct Invocation {
  std::vector<std::string> arguments;
  std::map<std::string, std::string> options;  // flags with an empty value
  [[nodiscard]] bool Has(const std::string& option) const { return options.count(option) != 0; }
  [[nodiscard]] std::optional<std::string> Value(const std::string& option) const;
};

struct Command {
  const char* name;
  const char* synopsis;  // its arguments as the help shows them: "REPORT [--json]"
  const char* help;      // what it does, one line
  size_t min_arguments;
  size_t max_arguments;  // SIZE_MAX: any number
  std::vector<CommandOption> options;
  Exit (*run)(const Invocation& invocation);
};

// The commands of this build, in help order (tools/kovra-report/commands/*.cpp).
[[nodiscard]] std::span<const Command> ReportCommands();
[[nodiscard]] std::span<const Command> IndexCommands();

// Checks the arguments after the command's name; nullopt with a reason for a usage error.
[[nodiscard]] std::optional<Invocation> ParseInvocation(const Command& command,
                                                        const std::vector<std::string>& args,
                                                        std::string& error);

// The whole command line (without the program's name): dispatch by the table; the exit code.
[[nodiscard]] int RunCommandLine(const std::vector<std::string>& args);

// A message on standard error, made safe for a terminal (it may quote the report).
Exit Fail(const std::string& what, Exit code = Exit::kTrouble);

}  // namespace kovra
