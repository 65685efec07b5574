#include "collectors/system/autoruns.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

TEST(Autoruns, DelimitedValuesSplitAtCommasAndBlanks) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"a.exe, b.exe", {"a.exe", "b.exe"}},
      {"  \t a.exe", {"a.exe"}},
      {"\"C:\\Program Files\\x.exe\",b", {"C:\\Program Files\\x.exe", "b"}},
      {"\"say \"\"hi\"\"\" next", {"say \"hi\"", "next"}},
      {"\"unclosed, rest", {"unclosed, rest"}},
      {"a.exe,", {"a.exe", ""}},
      {"a.exe, ", {"a.exe"}},
      // An unquoted path with a blank is two items.
      {"C:\\Program Files\\x.exe", {"C:\\Program", "Files\\x.exe"}},
      {",x", {"", "x"}},
      {"", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SplitDelimitedValue(c.text), c.items) << c.text;
  EXPECT_EQ(DelimitedValueLines("a.exe,, ,b.exe,"), (StringList{"a.exe", "b.exe"}));
}

TEST(Autoruns, ShellValuesLeaveOutTheExpectedProgramFirst) {
  const char* system = "C:\\Windows\\system32";
  const char* windows = "C:\\Windows";
  struct Case {
    const char *text, *program;
    StringList lines;
  };
  const Case cases[] = {
      {"Explorer.EXE", "explorer.exe", {}},
      {"explorer.exe,evil.exe", "explorer.exe", {"evil.exe"}},
      {"evil.exe", "explorer.exe", {"evil.exe"}},
      {"C:\\WINDOWS\\explorer.exe", "explorer.exe", {}},
      {"C:\\Windows\\system32\\userinit.exe,", "userinit.exe", {}},
      // Only in first position.
      {"evil.exe, explorer.exe", "explorer.exe", {"evil.exe", "explorer.exe"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShellValueLines(c.text, c.program, system, windows), c.lines) << c.text;
}

TEST(Autoruns, RunOnceExEntries) {
  struct Case {
    const char* entry;
    StringList lines;
  };
  const Case cases[] = {
      {"x.dll|Install|/q",
       {"rundll32.exe x.dll", "rundll32.exe x.dll,Install", "rundll32.exe x.dll,Install /q"}},
      {"x.dll", {"rundll32.exe x.dll"}},
      {"x.dll|Install", {"rundll32.exe x.dll", "rundll32.exe x.dll,Install"}},
      // Empty fields are dropped: two bars and a command give the one part.
      {"||cmd.exe /c x", {"rundll32.exe cmd.exe /c x"}},
      {" | |cmd.exe /c x", {"cmd.exe /c x"}},
      {"", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RunOnceExLines(c.entry), c.lines) << c.entry;
}

TEST(Autoruns, SectionsHaveHeadersOnlyWhenTheyHaveLines) {
  AutorunsBlock block;
  block.Section("---------- Startup ----------");
  block.Section("---------- Run ----------");
  block.Add(RunValueLine("Tool", "C:\\t.exe"));
  block.Add(RunValueLine("Odd", "dword:00000001"));
  block.Section("---------- RunOnce ----------");
  block.Add(StringList{});
  block.Section("---------- Windows Shell ----------");
  block.Add(StringList{"evil.exe"});
  EXPECT_EQ(block.Take(), (StringList{"", "===== Autoruns =====", "", "---------- Run ----------",
                                      "Tool=C:\\t.exe", "Odd=dword:00000001",
                                      "---------- Windows Shell ----------", "evil.exe"}));
  EXPECT_EQ(BrowserHelperLine("", "C:\\bho.dll"), ", C:\\bho.dll");
}

}  // namespace
}  // namespace kovra
