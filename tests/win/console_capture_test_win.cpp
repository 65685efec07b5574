// The console capture engine against real processes under Wine: our scriptable stand-in
// (fake_console.exe) and the file-in-use probe.
#include <gtest/gtest.h>

#include <thread>

#include "base/string_list.h"
#include "platform/console_capture_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(ConsoleCapture, LinesFromChunksWrittenWithPauses) {
  FakeDir fake("script");
  // a CR LF, an empty line, a lone LF inside a line, a line split over two writes, and a last
  // line without a break.
  fake.Put("script.txt",
           "w 610d0a\ns 200\nw 0d0a\nw 62\ns 200\nw 0a63\ns 150\nw 0d\ns 100\nw 0a\n"
           "w 6c6f6e67\ns 200\nw 6c696e650d0a\nw e9\n");
  StringList out = {"kept"};
  EXPECT_EQ(
      CaptureConsoleOutput(Fake() + " script \"" + fake.Path("script.txt") + "\"", out, never),
      CaptureEnd::kEnded);
  EXPECT_EQ(out, (StringList{"kept", "a", "", "bc", "longline", "\xC3\xA9"}));
}

TEST(ConsoleCapture, HungProgramAndItsChildAreEndedAtTheLimit) {
  const size_t before = CountProcesses("fake_console.exe");
  StringList out;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(CaptureConsoleOutput(Fake() + " hang-child", out, never, 1500), CaptureEnd::kTimeLimit);
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
  std::thread requester([&cancel] {
    ::Sleep(1000);
    cancel.Request();
  });
  StringList out;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(CaptureConsoleOutput(Fake() + " hang-child", out, cancel, 60000),
            CaptureEnd::kCancelled);
  const ULONGLONG took = ::GetTickCount64() - start;
  requester.join();
  EXPECT_LT(took, 10000u) << "the capture waited for its time limit";
  EXPECT_TRUE(Contains(out, "started and hanging"));
  for (int i = 0; i < 50 && CountProcesses("fake_console.exe") > before; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("fake_console.exe"), before) << "the hanging child survived";
  // Once cancelled, a list of captures starts none.
  StringList more;
  EXPECT_TRUE(CaptureConsoleOutputs({Fake() + " hang-child"}, more, cancel, 60000, 2).empty());
  EXPECT_TRUE(more.empty());
}

// Two at a time: the first waits for a file that only the last of the others creates, so the
// others must start while the first still runs; the outputs keep the list's order.
TEST(ConsoleCapture, AProgramStillRunningDoesNotHoldBackTheOthers) {
  const std::string folder = ScratchFolder(ScratchState::kEmpty, "capture-order");
  const std::string marker = folder + "marker";
  const auto script = [&](const std::string& name, const std::string& text) {
    WriteFileBytes(folder + name, text);
    return Fake() + " script \"" + folder + name + "\"";
  };
  const StringList commands = {
      script("first", "a " + marker + "\nw 6669727374\n"),  // "first"
      script("second", "w 7365636f6e64\n"),                 // "second"
      script("third", "w 7468697264\n"),                    // "third"
      script("last", "t " + marker + "\nw 6c617374\n"),     // "last"
  };
  StringList out;
  const std::vector<CaptureEnd> ends = CaptureConsoleOutputs(commands, out, never, 60000, 2);
  EXPECT_EQ(out, (StringList{"found", "first", "second", "third", "last"}));
  EXPECT_EQ(ends.size(), 4u);
  (void)RemoveTreeNoFollow(folder);
}

TEST(ConsoleCapture, AProgramThatNeverStopsWritingIsEndedAtItsBounds) {
  const size_t before = CountProcesses("fake_console.exe");
  StringList out;
  const DWORD start = ::GetTickCount();
  const CaptureEnd end = CaptureConsoleOutput(Fake() + " flood", out, never, 2000);
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
  try {
    CaptureConsoleOutput("no-such-kovra-program.exe /x", out, never);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  EXPECT_TRUE(out.empty());
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
