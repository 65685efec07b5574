#include "commands/command_table.h"

#include <cstdint>
#include <cstdio>
#include <exception>

#include "report_file.h"
#include "report_records.h"

#ifdef KOVRA_REPORT_INDEX
#include "index/report_index.h"
#endif

namespace kovra {

namespace {

constexpr char kExitPolicy[] =
    "\nexit codes, the same for every command:\n"
    "  0  done\n"
    "  1  found something: differences (diff), a report that could not be added (index)\n"
    "  2  trouble: a usage error, an unreadable or damaged input, an output that cannot be\n"
    "     written\n";

#ifdef KOVRA_REPORT_INDEX
constexpr char kIndexHeading[] = "\nmany reports (an SQLite index; README \"Many reports\"):\n";
#else
constexpr char kIndexHeading[] =
    "\nindex, query and export (many reports in an SQLite index) are not in this build: the\n"
    "Windows reader is built without SQLite. Use the Linux build of kovra-report for them.\n";
#endif

// "  name SYNOPSIS" and the help beside it (below it when the synopsis is long), the help's
// words wrapped within kWidth columns.
std::string CommandLine(const Command& c) {
  constexpr size_t kColumn = 30, kWidth = 96;
  std::string text = std::string("  ") + c.name + " " + c.synopsis;
  size_t line_start = 0;
  auto indent = [&] {
    text += "\n";
    line_start = text.size();
    text += std::string(kColumn, ' ');
  };
  if (text.size() < kColumn)
    text += std::string(kColumn - text.size(), ' ');
  else
    indent();
  const std::string help = c.help;
  bool first = true;
  for (size_t at = 0; at < help.size();) {
    size_t end = help.find(' ', at);
    if (end == std::string::npos)
      end = help.size();
    const std::string word = help.substr(at, end - at);
    if (!first && text.size() - line_start + 1 + word.size() > kWidth)
      indent();
    else if (!first)
      text += ' ';
    text += word;
    first = false;
    at = end + 1;
  }
  return text + "\n";
}

std::string Usage() {
  std::string s = "usage: kovra-report COMMAND ARGUMENTS...\n";
  for (const Command& c : ReportCommands())
    s += CommandLine(c);
  s += "  --help                      this text: commands, exit codes, tables, examples\n";
  s += kIndexHeading;
#ifdef KOVRA_REPORT_INDEX
  for (const Command& c : IndexCommands())
    s += CommandLine(c);
#endif
  return s + kExitPolicy;
}

// The tables with their fields and what each holds, from the one list the parsers fill.
std::string TableHelp() {
  static const char* kTypes[] = {"text", "number", "flag", "date"};
  std::string s = "\ntables (TABLE: fields, type and meaning):\n";
  for (const TableDefinition& t : Tables()) {
    s += std::string("  ") + t.name + "  (" + t.title + ")\n";
    for (const FieldDefinition& f : t.fields) {
      const std::string name = f.name;
      s += "      " + name + std::string(name.size() < 24 ? 24 - name.size() : 1, ' ') +
           kTypes[static_cast<int>(f.type)] + "  " + f.meaning + "\n";
    }
  }
  return s;
}

std::string ExampleHelp() {
#ifdef KOVRA_REPORT_INDEX
  std::string s = "\nexample questions (kovra-report query DB \"SQL\"):\n";
  for (const IndexExample& e : IndexExamples())
    s += std::string("  -- ") + e.question + "\n  " + e.sql + "\n";
  return s;
#else
  return std::string();
#endif
}

const Command* FindCommand(const std::string& name) {
  for (std::span<const Command> list : {ReportCommands(), IndexCommands()}) {
    for (const Command& c : list) {
      if (name == c.name)
        return &c;
    }
  }
  return nullptr;
}

int UsageError(const std::string& reason, const Command* command) {
  Fail(reason);
  if (command != nullptr)
    std::fprintf(stderr, "usage: kovra-report %s %s\n", command->name, command->synopsis);
  else
    std::fputs(Usage().c_str(), stderr);
  return static_cast<int>(Exit::kTrouble);
}

}  // namespace

std::optional<std::string> Invocation::Value(const std::string& option) const {
  const auto it = options.find(option);
  if (it == options.end())
    return std::nullopt;
  return it->second;
}

std::optional<Invocation> ParseInvocation(const Command& command,
                                          const std::vector<std::string>& args,
                                          std::string& error) {
  Invocation invocation;
  bool options_end = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_end || a.size() < 2 || a[0] != '-') {
      invocation.arguments.push_back(a);
      continue;
    }
    if (a == "--") {
      options_end = true;
      continue;
    }
    const CommandOption* option = nullptr;
    for (const CommandOption& o : command.options) {
      if (a == o.name)
        option = &o;
    }
    if (option == nullptr) {
      error = std::string(command.name) + " has no option " + a;
      return std::nullopt;
    }
    if (invocation.Has(a)) {
      error = a + " is given twice";
      return std::nullopt;
    }
    if (option->value != nullptr && i + 1 == args.size()) {
      error = a + " needs its " + option->value;
      return std::nullopt;
    }
    invocation.options[a] = option->value != nullptr ? args[++i] : std::string();
  }
  for (const CommandOption& o : command.options) {
    if (o.required && !invocation.Has(o.name)) {
      error = std::string(command.name) + " needs " + o.name +
              (o.value ? std::string(" ") + o.value : "");
      return std::nullopt;
    }
  }
  const size_t n = invocation.arguments.size();
  if (n < command.min_arguments || n > command.max_arguments) {
    const bool few = n < command.min_arguments;
    const size_t want = few ? command.min_arguments : command.max_arguments;
    const char* bound = command.min_arguments == command.max_arguments ? ""
                        : few                                          ? "at least "
                                                                       : "at most ";
    error = std::string(command.name) + (few ? " needs " : " takes ") + bound +
            std::to_string(want) + (want == 1 ? " argument" : " arguments") + ", not " +
            std::to_string(n);
    return std::nullopt;
  }
  return invocation;
}

Exit Fail(const std::string& what, Exit code) {
  std::fprintf(stderr, "kovra-report: %s\n", TerminalSafe(what).c_str());
  return code;
}

int RunCommandLine(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fputs(Usage().c_str(), stderr);
    return static_cast<int>(Exit::kTrouble);
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs((Usage() + TableHelp() + ExampleHelp()).c_str(), stdout);
    return static_cast<int>(Exit::kDone);
  }
  const Command* command = FindCommand(args[0]);
  if (command == nullptr)
    return UsageError("no command named " + args[0], nullptr);
  std::string error;
  const std::optional<Invocation> invocation =
      ParseInvocation(*command, std::vector<std::string>(args.begin() + 1, args.end()), error);
  if (!invocation)
    return UsageError(error, command);
  try {
    return static_cast<int>(command->run(*invocation));
  } catch (const std::exception& e) {
    // A fault of the reader itself (a refused record, an id outside the tables): trouble, with
    // its reason.
    return static_cast<int>(Fail(std::string(command->name) + ": " + e.what()));
  }
}

}  // namespace kovra
