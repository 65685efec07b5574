// A stand-in for the console programs Wine lacks (schtasks /query, systeminfo), installed over
// the prefix's copies, and a scriptable console program for the capture tests.
//
// As schtasks.exe / systeminfo.exe it prints recorded output of the real programs, unless its
// TEMP folder is a test's folder (it holds the file kovra-fake-dir), or the file kovra-fake-dir.txt
// beside it names one, with replacements:
//   csv.txt (or csv<N>.txt for the N-th list, from 1), query.txt   the outputs to print
//   hang-systeminfo, hang-query                                   hang instead (with a child)
//   vanish-after-list<N>                     move itself away after the N-th list
//   query-delay.txt, systeminfo-delay.txt    milliseconds to take before printing (a task
//                                            whose name starts with "Slow" takes three times)
// and it appends its command line and the console CodePage value it sees to log.txt there, and
// "begin TASK" / "end TASK" around each query to queries.txt (several run at once).
//
// Run by its own name: "script FILE" follows FILE's lines "w HEX" (write bytes) and "s MS"
// (sleep); "lock FILE" holds FILE open for writing without any sharing, "share FILE" with
// every sharing, and either prints "locked" and sleeps for ever; "flood" writes lines without end;
// "hang" prints a line and sleeps for ever; "record-url FILE URL" appends URL to FILE (a stand-in
// handler of web addresses); "hang-child" first starts a child that inherits the output and sleeps
// for ever too; "env FILE" writes its environment and current folder to FILE; "argv" prints its
// arguments one a line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/handles_win.h"

namespace {

const char kCsv[] =
    "\"TaskName\",\"Next Run Time\",\"Status\"\r\n"
    "\"\\BackupJob\",\"12/10/2026 2:00:00 AM\",\"Ready\"\r\n"
    "\"\\\xDC"
    "berpr\xFC"
    "fung\",\"N/A\",\"Ready\"\r\n"
    "\"\\backupjob\",\"12/10/2026 2:00:00 AM\",\"Ready\"\r\n"
    "\"TaskName\",\"Next Run Time\",\"Status\"\r\n"
    "\"\\Microsoft\\Windows\\Defrag\\ScheduledDefrag\",\"N/A\",\"Ready\"\r\n";

const char kSystemInfo[] =
    "\r\n"
    "Host Name:                 KOVRA-PC\r\n"
    "OS Name:                   Microsoft Windows 10 Pro\r\n"
    "OS Version:                10.0.19045 N/A Build 19045\r\n"
    "System Type:               x64-based PC\r\n"
    "Total Physical Memory:     16,303 MB\r\n"
    "Hotfix(s):                 2 Hotfix(s) Installed.\r\n"
    "                           [01]: KB5031988\r\n"
    "                           [02]: KB5032189\r\n";

std::string Env(const char* name) {
  char buffer[1024] = {};
  const DWORD n = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Appends one line in a single write, so that stand-ins running side by side do not mix lines.
void AppendLine(const std::string& path, const std::string& line) {
  const std::string bytes = line + "\n";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const kovra::win::UniqueHandle f(::CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_ALWAYS, 0, nullptr));
    if (f) {
      DWORD done = 0;
      ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
      return;
    }
    ::Sleep(10);
  }
}

DWORD DelayMs(const std::string& path) {
  if (path.empty() || !Exists(path))
    return 0;
  std::ifstream in(path);
  DWORD ms = 0;
  in >> ms;
  return ms;
}

void Out(const std::string& bytes) {
  DWORD done = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &done, nullptr);
}

std::string CodePageSeen(const char* console_key) {
  kovra::win::UniqueHkey key;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, console_key, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return "nokey";
  DWORD type = 0, value = 0, size = sizeof value;
  const LONG rc = ::RegQueryValueExA(key.get(), "CodePage", nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size);
  if (rc != ERROR_SUCCESS)
    return "absent";
  return type == REG_DWORD ? std::to_string(value) : "not-a-dword";
}

[[noreturn]] void Hang(bool with_child) {
  if (with_child) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" hang";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                         &pi)) {
      kovra::win::UniqueHandle thread(pi.hThread), process(pi.hProcess);
    }
  }
  Out("started and hanging\r\n");
  for (;;)
    ::Sleep(1000);
}

int RunScript(const std::string& path) {
  std::ifstream in(path);
  std::string op, arg;
  while (in >> op >> arg) {
    if (op == "s") {
      ::Sleep(static_cast<DWORD>(std::stoul(arg)));
    } else if (op == "t") {  // touch: create the file named
      AppendLine(arg, "");
    } else if (op == "a") {  // await the file named, ten seconds at most, and say whether it came
      bool found = false;
      for (int i = 0; i < 200 && !found; ++i) {
        found = ::GetFileAttributesA(arg.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!found)
          ::Sleep(50);
      }
      Out(found ? "found\r\n" : "missing\r\n");
    } else if (op == "w") {
      std::string bytes;
      for (size_t i = 0; i + 1 < arg.size(); i += 2)
        bytes += static_cast<char>(std::stoul(arg.substr(i, 2), nullptr, 16));
      Out(bytes);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = ::GetCommandLineA();
  if (argc >= 3 && std::string(argv[1]) == "script")
    return RunScript(argv[2]);
  if (argc >= 3 && (std::string(argv[1]) == "lock" || std::string(argv[1]) == "share")) {
    const DWORD sharing = std::string(argv[1]) == "share"
                              ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                              : 0;
    const kovra::win::UniqueHandle f(::CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, sharing,
                                                   nullptr, OPEN_EXISTING, 0, nullptr));
    Out(f ? "locked\r\n" : "not locked\r\n");
    for (;;)
      ::Sleep(1000);
  }
  // "record-url FILE URL": a stand-in handler of web addresses writes the address it was given.
  if (argc >= 4 && std::string(argv[1]) == "record-url") {
    AppendLine(argv[2], argv[3]);
    return 0;
  }
  if (argc >= 2 && std::string(argv[1]) == "hang")
    Hang(false);
  if (argc >= 2 && std::string(argv[1]) == "flood") {
    const std::string line(1000, 'x');
    for (;;)
      Out((line + "\r\n").c_str());
  }
  if (argc >= 2 && std::string(argv[1]) == "hang-child")
    Hang(true);
  // "env FILE": writes its environment block, one entry a line, and its current folder last.
  if (argc >= 3 && std::string(argv[1]) == "env") {
    std::string lines;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* p = block; p && *p; p += wcslen(p) + 1) {
      char entry[4096] = {};
      ::WideCharToMultiByte(CP_ACP, 0, p, -1, entry, sizeof entry - 1, nullptr, nullptr);
      lines += std::string(entry) + "\n";
    }
    ::FreeEnvironmentStringsW(block);
    char folder[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, folder);
    lines += std::string("cwd:") + folder + "\n";
    std::ofstream(argv[2], std::ios::binary) << lines;
    Out("written\r\n");
    return 0;
  }
  // "argv": prints each argument it was given on a line of its own.
  if (argc >= 2 && std::string(argv[1]) == "argv") {
    for (int i = 2; i < argc; ++i)
      Out(std::string(argv[i]) + "\r\n");
    return 0;
  }

  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string name = self;
  name = name.substr(name.find_last_of("\\/") + 1);
  for (char& c : name)
    c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));

  // The tool starts programs with TEMP set to its staging folder and nothing else of its own
  // environment: unit tests pass their folder there (it holds the marker kovra-fake-dir); the
  // end-to-end runs, whose staging folder the tool makes, name theirs in kovra-fake-dir.txt
  // beside this program. Otherwise the recorded outputs, and no log.
  std::string dir = Env("TEMP");
  if (!dir.empty() && !Exists(dir + "\\kovra-fake-dir"))
    dir.clear();
  const std::string pointer =
      std::string(self).substr(0, std::string(self).find_last_of("\\/") + 1) + "kovra-fake-dir.txt";
  if (dir.empty() && Exists(pointer)) {
    std::ifstream in(pointer);
    std::getline(in, dir);
    while (!dir.empty() && (dir.back() == '\r' || dir.back() == '\n'))
      dir.pop_back();
  }
  const std::string log = dir.empty() ? std::string() : dir + "\\log.txt";
  int csv_calls = 1;
  if (!log.empty()) {
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line))
      csv_calls += line.find("/FO csv") != std::string::npos;
    AppendLine(
        log,
        command + " | CodePage=" + CodePageSeen("Console\\%SystemRoot%_system32_cmd.exe") +
            " SchtasksCodePage=" + CodePageSeen("Console\\%SystemRoot%_system32_schtasks.exe"));
  }
  auto file = [&](const std::string& leaf) {
    return dir.empty() ? std::string() : dir + "\\" + leaf;
  };

  if (name == "systeminfo.exe") {
    if (Exists(file("hang-systeminfo")))
      Hang(true);
    ::Sleep(DelayMs(file("systeminfo-delay.txt")));
    Out(Exists(file("systeminfo.txt")) ? Slurp(file("systeminfo.txt")) : kSystemInfo);
    return 0;
  }
  // schtasks
  if (command.find("/FO csv") != std::string::npos) {
    const std::string numbered = file("csv" + std::to_string(csv_calls) + ".txt");
    if (!dir.empty() && Exists(numbered))
      Out(Slurp(numbered));
    else
      Out(Exists(file("csv.txt")) ? Slurp(file("csv.txt")) : kCsv);
    // "vanish-after-list<N>": after the N-th list this program moves itself away, so that the
    // queries that follow cannot start it.
    if (Exists(file("vanish-after-list" + std::to_string(csv_calls))))
      ::MoveFileA(self, (std::string(self) + ".moved").c_str());
    return 0;
  }
  int tn = 0;
  for (int i = 1; i + 1 < argc && tn == 0; ++i)
    tn = std::string(argv[i]) == "/TN" ? i + 1 : 0;
  if (tn != 0) {
    if (Exists(file("hang-query")))
      Hang(true);
    const std::string task = argv[tn];
    const std::string queries = dir.empty() ? std::string() : file("queries.txt");
    if (!queries.empty())
      AppendLine(queries, "begin " + task);
    ::Sleep(DelayMs(file("query-delay.txt")) * (task.rfind("Slow", 0) == 0 ? 3 : 1));
    if (!queries.empty())
      AppendLine(queries, "end " + task);
    if (Exists(file("query.txt"))) {
      Out(Slurp(file("query.txt")));
      return 0;
    }
    Out("\r\nFolder: \\\r\nHostName:                             KOVRA-PC\r\n"
        "TaskName:                             \\" +
        task +
        "\r\n"
        "Status:                               Ready\r\n"
        "Task To Run:                          C:\\Tools\\" +
        std::string(1100, 'x') +
        ".exe\r\n"
        "Last Result:                          0");  // no final line break
    return 0;
  }
  Out("ERROR: Invalid syntax.\r\n");
  return 1;
}
