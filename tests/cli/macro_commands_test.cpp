#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "macro/macro_rows.h"
#include "macro/macro_store.h"
#include "platform/file_io.h"
#include "platform/key_store.h"
#include "platform/virtual_key.h"
#include "support/cli_fixture.h"
#include "support/no_mouse_backend.h"
#include "support/run_program.h"

namespace z900::cli {
namespace {

namespace fs = std::filesystem;
using macro::KeyRow;
using macro::kRowKeyDown;
using macro::kRowKeyUp;
using ::testing::HasSubstr;

class MacroCommandsTest : public test::CliTest {
 protected:
  MacroCommandsTest() { env.hardware = &no_mouse; }

  // Writes a record file and returns its path.
  std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path path = folder.path() / name;
    EXPECT_FALSE(platform::WriteFileAtomically(path, bytes));
    return path.string();
  }
  static std::vector<std::uint8_t> RecordBytes(std::uint32_t id, std::u16string_view name,
                                               std::vector<macro::MacroRow> rows,
                                               std::u16string_view loop = u"1") {
    return macro::MacroRecordBytes(macro::BuildMacroRecord(rows, id, name, loop).record);
  }
  std::unique_ptr<platform::KeyStore> Store() {
    return platform::CreateSystemKeyStore(env.paths.registry_root);
  }

  // The macro commands need no mouse: runs happen with none connected.
  test::NoMouseBackend no_mouse{"a macro command"};
};

TEST_F(MacroCommandsTest, ImportedRecordEncodesToTheMousesBlock) {
  const std::string file = WriteFile(
      "example.bin",
      RecordBytes(0x123456, u"Example",
                  {KeyRow(kRowKeyDown, 'A'), macro::DelayRow(120), KeyRow(kRowKeyUp, 'A')}));
  Result result = Run({"macro", "import", file});
  ASSERT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, "imported macro 00123456 \"Example\"\n");
  EXPECT_EQ(platform::CreateSystemKeyStore(env.paths.registry_root)
                ->OpenKey(u"Software\\TALVO\\Z900\\Macro\\00123456"),
            platform::KeyStoreStatus::kOk);

  result = Run({"macro", "encode", "00123456"});
  ASSERT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, "0000: 0a 00 01 00 19 00 04 00 00 04\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(MacroCommandsTest, ListShowRenameExportDelete) {
  ASSERT_EQ(Run({"macro", "import",
                 WriteFile("a.bin", RecordBytes(0xB0, u"Copy",
                                                {KeyRow(kRowKeyDown, platform::kVkLControl),
                                                 macro::DelayRow(30), KeyRow(kRowKeyDown, 'C'),
                                                 KeyRow(kRowKeyUp, 'C'),
                                                 KeyRow(kRowKeyUp, platform::kVkLControl)},
                                                u"3"))})
                .code,
            kExitOk);
  ASSERT_EQ(Run({"macro", "import",
                 WriteFile("b.bin", RecordBytes(0xA0, u"Grüße", {KeyRow(kRowKeyDown, 0x2C)}))})
                .code,
            kExitOk);
  EXPECT_EQ(Run({"macro", "list"}).out, "000000a0  Grüße\n000000b0  Copy\n");

  Result result = Run({"macro", "show", "b0"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out,
            "macro 000000b0: Copy\n"
            "loop count: 3\n"
            "   1  down   L_Ctrl\n"
            "   2  delay  30  ms\n"
            "   3  down   C\n"
            "   4  up     C\n"
            "   5  up     L_Ctrl\n");
  result = Run({"macro", "show", "0xA0"});  // a single key, unnamed in the table
  EXPECT_EQ(result.out, "macro 000000a0: Grüße\nloop count: 1\n   1  down   [0x2c]\n");

  result = Run({"macro", "rename", "a0", "Print Screen key macro"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(result.err, HasSubstr("cut to \"Print Screen key ma\""));
  EXPECT_EQ(Run({"macro", "list"}).out, "000000a0  Print Screen key ma\n000000b0  Copy\n");

  // The target's folder may be anyone's: a file there that looks like a stale temporary file
  // (its process has ended) is still none of ours.
  const fs::path theirs =
      folder.path() / ("report.tmp-" + std::to_string(test::EndedProcessId()) + "-5");
  std::ofstream(theirs) << "another program's";
  const fs::path exported = folder.path() / "out.bin";
  result = Run({"macro", "export", "b0", exported.string()});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_TRUE(fs::exists(theirs));
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(platform::ReadWholeFile(exported, 1 << 16, bytes));
  EXPECT_EQ(bytes, (RecordBytes(0xB0, u"Copy",
                                {KeyRow(kRowKeyDown, platform::kVkLControl), macro::DelayRow(30),
                                 KeyRow(kRowKeyDown, 'C'), KeyRow(kRowKeyUp, 'C'),
                                 KeyRow(kRowKeyUp, platform::kVkLControl)},
                                u"3")));

  EXPECT_EQ(Run({"macro", "delete", "b0"}).code, kExitOk);
  EXPECT_EQ(Run({"macro", "list"}).out, "000000a0  Print Screen key ma\n");
  result = Run({"macro", "delete", "b0"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_EQ(result.err, "z900ctl: no macro 000000b0 is stored\n");
  for (const char* command : {"show", "encode", "rename"}) {
    std::vector<std::string> args = {"macro", command, "b0"};
    if (std::string(command) == "rename") args.push_back("x");
    result = Run(args);
    EXPECT_EQ(result.code, kExitFailed) << command;
    EXPECT_THAT(result.err, HasSubstr("no macro 000000b0 is stored")) << command;
  }
}

// Names come from files anyone may hand over: escape sequences, line ends and bidirectional
// overrides in them must not reach the terminal as they are.
TEST_F(MacroCommandsTest, ControlAndBidiCharactersInNamesAreShownEscaped) {
  ASSERT_EQ(Run({"macro", "import",
                 WriteFile("evil.bin", RecordBytes(0xC0, u"a\x1b[2Jb\nc\u202Ed\u0085",
                                                   {KeyRow(kRowKeyDown, 'A')}))})
                .code,
            kExitOk);
  const std::string shown = "a\\x1b[2Jb\\nc\\u202ed\\u0085";
  EXPECT_EQ(Run({"macro", "list"}).out, "000000c0  " + shown + "\n");
  EXPECT_THAT(Run({"macro", "show", "c0"}).out, HasSubstr("macro 000000c0: " + shown + "\n"));
}

TEST_F(MacroCommandsTest, MalformedFilesAreRefusedWithTheReason) {
  std::vector<std::uint8_t> good =
      RecordBytes(0x77, u"x", {KeyRow(kRowKeyDown, 'A'), KeyRow(kRowKeyUp, 'A')});
  auto with = [&good](std::size_t offset, std::uint8_t byte) {
    auto bytes = good;
    bytes[offset] = byte;
    return bytes;
  };
  auto longer = good;
  longer.insert(longer.end(), {0, 0, 0, 0});
  fs::create_directory(folder.path() / "folder.bin");
  const std::pair<std::string, std::string> cases[] = {
      {WriteFile("short.bin", std::vector<std::uint8_t>(good.begin(), good.begin() + 40)),
       "holds 40 bytes"},
      {WriteFile("magic.bin", with(7, 0xE9)), "magic 0xe9e80010"},
      {WriteFile("size.bin", longer), "size field says 72 bytes but it holds 76"},
      {WriteFile("count.bin", with(60, 9)), "event count 9"},
      {WriteFile("kind.bin", with(71, 0x80)), "kind 0x80"},
      {WriteFile("huge.bin", std::vector<std::uint8_t>(20000)), "larger than the 16384 bytes"},
      {(folder.path() / "missing.bin").string(), "cannot read"},
      {(folder.path() / "folder.bin").string(), "cannot read"},
  };
  for (const auto& [file, reason] : cases) {
    const Result result = Run({"macro", "import", file});
    EXPECT_EQ(result.code, kExitFailed) << file;
    EXPECT_THAT(result.err, HasSubstr(reason)) << file;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Run({"macro", "list"}).out, "");
}

TEST_F(MacroCommandsTest, ImportNeverReplacesAStoredMacroUnlessAsked) {
  const std::string first =
      WriteFile("1.bin", RecordBytes(0x777, u"First", {KeyRow(kRowKeyDown, 'A')}));
  const std::string second =
      WriteFile("2.bin", RecordBytes(0x777, u"Second", {KeyRow(kRowKeyDown, 'B')}));
  ASSERT_EQ(Run({"macro", "import", first}).code, kExitOk);
  Result result = Run({"macro", "import", second});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_EQ(result.err, "z900ctl: macro 00000777 is stored already; --replace overwrites it\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Run({"macro", "list"}).out, "00000777  First\n");

  result = Run({"macro", "import", second, "--replace"});
  ASSERT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, "imported macro 00000777 \"Second\"\n");
  EXPECT_EQ(Run({"macro", "list"}).out, "00000777  Second\n");
}

TEST_F(MacroCommandsTest, EncodeSaysWhyTheMouseCannotPlayAMacro) {
  auto store = Store();
  auto save = [&store](std::uint32_t id, std::vector<macro::MacroRow> rows) {
    ASSERT_TRUE(macro::SaveMacro(*store, macro::BuildMacroRecord(rows, id, u"x", u"1").record));
  };
  save(1, {KeyRow(kRowKeyDown, platform::kVkShift), KeyRow(kRowKeyUp, platform::kVkShift)});
  save(2, {KeyRow(kRowKeyDown, 'A'), KeyRow(kRowKeyUp, platform::kVkLShift),
           KeyRow(kRowKeyUp, platform::kVkF13)});
  save(3, {KeyRow(kRowKeyDown, 'A'), macro::DelayRow(400000), KeyRow(kRowKeyUp, 'A')});
  std::vector<macro::MacroRow> many;
  for (int i = 0; i < 1364; ++i) many.push_back(KeyRow(i % 2 == 0 ? kRowKeyDown : kRowKeyUp, 'A'));
  save(4, many);
  macro::MacroRecord odd = macro::BuildMacroRecord(many, 5, u"x", u"1").record;
  odd.events[0] = 0x80000041;
  ASSERT_TRUE(macro::SaveMacro(*store, odd));

  Result result = Run({"macro", "encode", "1"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_EQ(result.err,
            "z900ctl: macro 00000001 cannot be encoded: event 1 uses the key 0x10, which the mouse "
            "cannot play\n");
  EXPECT_EQ(result.out, "");
  result = Run({"macro", "encode", "2"});
  EXPECT_THAT(result.err, HasSubstr("event 3 uses the key 0x7c"));
  result = Run({"macro", "encode", "4"});
  EXPECT_THAT(result.err, HasSubstr("more than 1363 key presses and releases"));
  result = Run({"macro", "encode", "5"});
  EXPECT_THAT(result.err, HasSubstr("event 1 has the kind 0x80"));
  result = Run({"macro", "show", "5"});
  EXPECT_EQ(result.code, kExitOk);
  EXPECT_EQ(result.out, "macro 00000005: x\nloop count: 1\n");
  EXPECT_THAT(result.err, HasSubstr("ends early: event 1 has the kind 0x80"));

  // A pause too long for the mouse plays as the longest it can, and says so.
  result = Run({"macro", "encode", "3"});
  EXPECT_EQ(result.code, kExitOk);
  EXPECT_EQ(result.out, "0000: 0a 00 01 00 ff ff 04 00 00 04\n");
  EXPECT_THAT(result.err, HasSubstr("shortened to 327670 ms"));
}

TEST_F(MacroCommandsTest, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"macro", "list", "extra"},
      {"macro", "show"},
      {"macro", "show", "xyz"},
      {"macro", "show", "123456789"},
      {"macro", "show", "0x"},
      {"macro", "import"},
      {"macro", "import", "a", "--force"},
      {"macro", "export", "12"},
      {"macro", "rename", "12"},
      {"macro", "delete", "-1"},
      {"macro", "encode", "1", "2"},
  };
  for (const auto& args : cases) {
    const Result result = Run(args);
    EXPECT_EQ(result.code, kExitUsage) << ::testing::PrintToString(args);
    EXPECT_THAT(result.err, HasSubstr("z900ctl: "));
  }
  EXPECT_THAT(Run({"--help"}).out, HasSubstr("macro encode ID"));
}

}  // namespace
}  // namespace z900::cli
