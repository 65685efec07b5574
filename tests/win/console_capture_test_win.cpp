// The console capture engine against real processes under Wine: our scriptable stand-in
// (fake_console.exe) and the file-in-use probe.
#include <gtest/gtest.h>

#include <thread>

#include "base/string_list.h"
#include "base/text.h"
#include "platform/console_capture_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

ChildSetting Setting() {
  return ChildSettingFor(TempFolder());
}

// The lines of a text ended by LF.
StringList SplitLines(const std::string& text) {
  StringList lines;
  size_t start = 0;
  for (size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
    lines.push_back(text.substr(start, at - start));
  return lines;
}

TEST(ConsoleCapture, LinesFromChunksWrittenWithPauses) {
  FakeDir fake("script");
  // a CR LF, an empty line, a lone LF inside a line, a line split over two writes, and a last
  // line without a break.
  fake.Put("script.txt",
           "w 610d0a\ns 200\nw 0d0a\nw 62\ns 200\nw 0a63\ns 150\nw 0d\ns 100\nw 0a\n"
           "w 6c6f6e67\ns 200\nw 6c696e650d0a\nw e9\n");
  StringList out = {"kept"};
  EXPECT_EQ(CaptureConsoleOutput(FakeCommand({"script", fake.Path("script.txt")}), fake.Setting(),
                                 out, never),
            CaptureEnd::kEnded);
  EXPECT_EQ(out, (StringList{"kept", "a", "", "bc", "longline", "\xC3\xA9"}));
}

TEST(ConsoleCapture, HungProgramAndItsChildAreEndedAtTheLimit) {
  const size_t before = CountProcesses("fake_console.exe");
  StringList out;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(CaptureConsoleOutput(FakeCommand({"hang-child"}), Setting(), out, never, 1500),
            CaptureEnd::kTimeLimit);
  const ULONGLONG took = ::GetTickCount64() - start;
  EXPECT_LT(took, 15000u);
  EXPECT_TRUE(Contains(out, "started and hanging"));
  for (int i = 0; i < 50 && CountProcesses("fake_console.exe") > before; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("fake_console.exe"), before) << "the hanging child survived";
}

// A cancellation asked for from another thread while the program hangs ends it (and its child)
// within moments, long before its time limit, and keeps what it wrote.
TEST(ConsoleCapture, CancellingARunningCaptureEndsItsProgramPromptly) {
  const size_t before = CountProcesses("fake_console.exe");
  RunCancellation cancel;
  // Once the program and its child both run (the program prints right after starting the
  // child), the cancellation is asked for: not at a fixed time, which a slow start outlasts.
  std::thread requester([&cancel, before] {
    for (int i = 0; i < 200 && CountProcesses("fake_console.exe") < before + 2; ++i)
      ::Sleep(100);
    ::Sleep(500);
    cancel.Request();
  });
  StringList out;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(CaptureConsoleOutput(FakeCommand({"hang-child"}), Setting(), out, cancel, 60000),
            CaptureEnd::kCancelled);
  const ULONGLONG took = ::GetTickCount64() - start;
  requester.join();
  EXPECT_LT(took, 30000u) << "the capture waited for its time limit";
  EXPECT_TRUE(Contains(out, "started and hanging"));
  for (int i = 0; i < 50 && CountProcesses("fake_console.exe") > before; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("fake_console.exe"), before) << "the hanging child survived";
  // Once cancelled, a list of captures starts none.
  StringList more;
  EXPECT_TRUE(
      CaptureConsoleOutputs({FakeCommand({"hang-child"})}, Setting(), more, cancel, 60000, 2)
          .empty());
  EXPECT_TRUE(more.empty());
}

// Two at a time: the first waits for a file that only the last of the others creates, so the
// others must start while the first still runs; the outputs keep the list's order.
TEST(ConsoleCapture, AProgramStillRunningDoesNotHoldBackTheOthers) {
  const std::string folder = ScratchFolder(ScratchState::kEmpty, "capture-order");
  const std::string marker = folder + "marker";
  const auto script = [&](const std::string& name, const std::string& text) {
    WriteFileBytes(folder + name, text);
    return FakeCommand({"script", folder + name});
  };
  const std::vector<ConsoleCommand> commands = {
      script("first", "a " + marker + "\nw 6669727374\n"),  // "first"
      script("second", "w 7365636f6e64\n"),                 // "second"
      script("third", "w 7468697264\n"),                    // "third"
      script("last", "t " + marker + "\nw 6c617374\n"),     // "last"
  };
  StringList out;
  const std::vector<CaptureEnd> ends =
      CaptureConsoleOutputs(commands, Setting(), out, never, 60000, 2);
  EXPECT_EQ(out, (StringList{"found", "first", "second", "third", "last"}));
  EXPECT_EQ(ends.size(), 4u);
  (void)RemoveTreeNoFollow(folder);
}

TEST(ConsoleCapture, AProgramThatNeverStopsWritingIsEndedAtItsBounds) {
  const size_t before = CountProcesses("fake_console.exe");
  StringList out;
  const DWORD start = ::GetTickCount();
  const CaptureEnd end = CaptureConsoleOutput(FakeCommand({"flood"}), Setting(), out, never, 2000);
  EXPECT_TRUE(end == CaptureEnd::kTimeLimit || end == CaptureEnd::kSizeLimit);
  EXPECT_LT(::GetTickCount() - start, 30000u);
  EXPECT_FALSE(out.empty());  // the output so far is kept
  EXPECT_LE(out.size(), 40000u);
  for (int i = 0; i < 50 && CountProcesses("fake_console.exe") > before; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("fake_console.exe"), before);
}

TEST(ConsoleCapture, AProgramThatCannotStartIsAnError) {
  StringList out;
  const std::string missing = ExeFolder() + "no-such-kovra-program.exe";
  try {
    static_cast<void>(CaptureConsoleOutput({missing, {"/x"}}, Setting(), out, never));
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    // The program and the system's reason.
    EXPECT_EQ(std::string(e.what()),
              "Cannot start " + missing + ": " + SystemErrorText(ERROR_FILE_NOT_FOUND));
  }
  EXPECT_TRUE(out.empty());
}

// Every argument reaches the program as it was, whatever it holds: no command interpreter and
// no quoting rule changes it.
TEST(ConsoleCapture, ArgumentsArriveUnchanged) {
  const StringList arguments = {"plain",   "two words", "",         "100%TEMP%", "a & b | c",
                                "q\"uote", "C:\\x y\\", "back\\\\", "^caret!"};
  StringList argv = {"argv"};
  AppendList(argv, arguments);
  StringList out;
  EXPECT_EQ(CaptureConsoleOutput(FakeCommand(argv), Setting(), out, never), CaptureEnd::kEnded);
  EXPECT_EQ(out, arguments);
}

// A started program sees the minimal environment (TEMP the folder given) and the system folder
// as its current folder, whatever the tool's own environment holds.
TEST(ConsoleCapture, ProgramsGetTheMinimalEnvironment) {
  FakeDir fake("env");
  ::SetEnvironmentVariableA("KOVRA_PLANTED", "from the user");
  const std::string file = fake.Path("env.txt");
  StringList out;
  EXPECT_EQ(CaptureConsoleOutput(FakeCommand({"env", file}), fake.Setting(), out, never),
            CaptureEnd::kEnded);
  ::SetEnvironmentVariableA("KOVRA_PLANTED", nullptr);
  StringList lines = SplitLines(ReadFileBytes(file));
  const std::string system = ExcludeTrailingBackslash(SystemProgramPath(""));
  const std::string windows = ExcludeTrailingBackslash(WindowsProgramPath(""));
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(SameTextAscii(lines.back(), "cwd:" + system)) << lines.back();
  lines.pop_back();
  const std::string temp = ExcludeTrailingBackslash(fake.Folder());
  const struct {
    const char* name;
    std::string value;
  } expected[] = {
      {"ComSpec", system + "\\cmd.exe"},
      {"OS", "Windows_NT"},
      {"PATH", system + ";" + windows + ";" + system + "\\Wbem"},
      {"SystemRoot", windows},
      {"TEMP", temp},
      {"TMP", temp},
      {"windir", windows},
  };
  for (const auto& e : expected)
    EXPECT_TRUE(Contains(lines, std::string(e.name) + "=" + e.value)) << e.name;
  EXPECT_FALSE(Contains(lines, "KOVRA_PLANTED"));
  EXPECT_FALSE(Contains(lines, "USERPROFILE="));
}

TEST(FileInUse, MissingPlainAndLockedFiles) {
  const std::string root = ScratchFolder(ScratchState::kEmpty, "in-use");
  WriteFileBytes(root + "plain.txt", "p");
  EXPECT_TRUE(IsFileInUse(root + "missing.txt"));
  EXPECT_FALSE(IsFileInUse(root + "plain.txt"));
  {
    UniqueHandle lock(::CreateFileW(Widen(root + "plain.txt").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(IsFileInUse(root + "plain.txt"));
  }
  (void)RemoveTreeNoFollow(root);
}

}  // namespace
}  // namespace kovra::win
