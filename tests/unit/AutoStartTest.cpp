#include "TestSupport.h"
#include "autostart/AutoStart.h"
#include "text/Utf16.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace vorda::test {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// This start's command, and that of a copy in another folder.
constexpr std::string_view kThisCommand = "\"C:\\Program Files\\Vorda\\Dictionary.exe\"";
constexpr std::string_view kOtherFolderCommand = "\"D:\\Old\\Dictionary.exe\"";

class AutoStart : public testing::Test {
protected:
    RegistryKey OpenRunKey()
    {
        RegistryKey key = 0;
        fake.platform.RegOpenKeyExA(kLocalMachineKey, ToUtf8(kRunKey), 0, kSetValueAccess, key);
        fake.platform.log.clear();
        return key;
    }

    std::string StoredCommand() const
    {
        const auto& value = fake.platform.runKey.at("VordaDictionary");
        EXPECT_EQ(value.type, 1U);
        EXPECT_EQ(value.data.back(), 0) << "text ends in one NUL";
        return {value.data.begin(), value.data.end() - 1};
    }

    WindowOverFake fake;
};

TEST_F(AutoStart, TextIsWrittenNarrowWithOneNulAndItsByteCount)
{
    const RegistryKey key = OpenRunKey();
    EXPECT_EQ(fake.window.SetValueEx(key, u"Name", kRegistryText, std::u16string(u"caf\u00e9")), 0);
    EXPECT_EQ(fake.platform.log, std::vector<std::string>{"RegSetValueEx 256 Name 0 1 5"});
    EXPECT_EQ(fake.platform.runKey.at("Name"), (StoredValue{1, Bytes(std::string("caf\xE9\0", 5))}));

    EXPECT_EQ(fake.window.SetValueEx(key, u"Empty", kRegistryText, std::u16string()), 0);
    EXPECT_EQ(fake.platform.runKey.at("Empty").data, std::vector<std::uint8_t>{0});

    EXPECT_EQ(fake.window.SetValueEx(key, u"Number", kRegistryText, std::int64_t{42}), 0);
    EXPECT_EQ(fake.platform.runKey.at("Number").data, Bytes(std::string("42\0", 3)));
    EXPECT_EQ(fake.window.SetValueEx(key, u"Fraction", kRegistryText, -2.25), 0);
    EXPECT_EQ(fake.platform.runKey.at("Fraction").data, Bytes(std::string("-2.25\0", 6)));
}

struct DwordCase {
    RegistryValue value;
    std::vector<std::uint8_t> bytes;
};

class DwordValue : public testing::TestWithParam<DwordCase> {};

TEST_P(DwordValue, IsFourBytesLeastSignificantFirst)
{
    WindowOverFake fake;
    RegistryKey key = 0;
    fake.platform.RegOpenKeyExA(kLocalMachineKey, ToUtf8(kRunKey), 0, kSetValueAccess, key);
    EXPECT_EQ(fake.window.SetValueEx(key, u"D", kRegistryNumber, GetParam().value), 0);
    EXPECT_EQ(fake.platform.runKey.at("D"), (StoredValue{4, GetParam().bytes}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DwordValue,
    testing::Values(DwordCase{std::int64_t{0x12345678}, {0x78, 0x56, 0x34, 0x12}},
                    DwordCase{std::int64_t{-1}, {0xFF, 0xFF, 0xFF, 0xFF}},
                    DwordCase{std::int64_t{-2147483648LL}, {0x00, 0x00, 0x00, 0x80}},
                    DwordCase{2.5, {2, 0, 0, 0}}, DwordCase{3.5, {4, 0, 0, 0}}, DwordCase{-2.5, {0xFE, 0xFF, 0xFF, 0xFF}},
                    DwordCase{2.6, {3, 0, 0, 0}}, DwordCase{std::u16string(u" 300 "), {0x2C, 0x01, 0, 0}},
                    DwordCase{std::u16string(u"1.5"), {2, 0, 0, 0}}, DwordCase{std::u16string(u"2.5"), {2, 0, 0, 0}},
                    DwordCase{std::u16string(u"2.50001"), {3, 0, 0, 0}}, DwordCase{std::u16string(u"-7.5"), {0xF8, 0xFF, 0xFF, 0xFF}},
                    DwordCase{std::u16string(u"+.4"), {0, 0, 0, 0}}, DwordCase{std::u16string(u"2147483647.49"), {0xFF, 0xFF, 0xFF, 0x7F}}));

TEST_F(AutoStart, ValuesThatCannotBeConvertedRaiseBeforeAnythingIsWritten)
{
    const RegistryKey key = OpenRunKey();
    const std::vector<RegistryValue> bad{std::u16string(u"abc"), std::u16string(u""), std::u16string(u"12abc"),
                                         std::u16string(u"."), std::u16string(u"-"), std::u16string(u"1.2.3"),
                                         std::u16string(u"1e3"), std::u16string(u"2147483647.5"),
                                         std::int64_t{2147483648LL}, 2147483647.5, std::nan(""),
                                         std::u16string(u"\u0663")};
    for (const auto& value : bad) {
        EXPECT_THROW(fake.window.SetValueEx(key, u"D", kRegistryNumber, value), ConversionError);
    }
    EXPECT_TRUE(fake.platform.log.empty());
    EXPECT_TRUE(fake.platform.runKey.empty());
}

TEST_F(AutoStart, OtherTypesWriteNothingAndReturnZero)
{
    const RegistryKey key = OpenRunKey();
    for (const std::int32_t type : {0, 2, 3, 7, -1}) {
        EXPECT_EQ(fake.window.SetValueEx(key, u"X", type, std::u16string(u"data")), 0);
    }
    EXPECT_TRUE(fake.platform.log.empty());
}

TEST_F(AutoStart, HandleZeroIsRefusedAndItsCodeReturned)
{
    EXPECT_EQ(fake.window.SetValueEx(0, u"X", kRegistryText, std::u16string(u"data")), kErrorInvalidHandle);
    EXPECT_TRUE(fake.platform.runKey.empty());
}

TEST_F(AutoStart, AValueOfTheSameNameIsReplacedTypeIncluded)
{
    const RegistryKey key = OpenRunKey();
    fake.window.SetValueEx(key, u"X", kRegistryNumber, std::int64_t{7});
    fake.window.SetValueEx(key, u"X", kRegistryText, std::u16string(u"seven"));
    EXPECT_EQ(fake.platform.runKey.at("X"), (StoredValue{1, Bytes(std::string("seven\0", 6))}));
}

struct CommandCase {
    std::u16string folder;
    std::u16string fileName;
    char16_t separator;
    std::string command;
};

class AutoStartCommandCase : public testing::TestWithParam<CommandCase> {};

TEST_P(AutoStartCommandCase, IsTheQuotedFullPathOfTheProgram)
{
    WindowOverFake fake;
    fake.platform.applicationFolder = GetParam().folder;
    fake.platform.programFileName = GetParam().fileName;
    fake.platform.pathSeparator = GetParam().separator;
    fake.window.RunAtStartUp();
    const auto& value = fake.platform.runKey.at("VordaDictionary");
    EXPECT_EQ(value.type, 1U);
    EXPECT_EQ(std::string(value.data.begin(), value.data.end()), GetParam().command + '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Folders, AutoStartCommandCase,
    testing::Values(CommandCase{u"C:\\Program Files\\Vorda", u"Dictionary.exe", u'\\',
                                "\"C:\\Program Files\\Vorda\\Dictionary.exe\""},
                    CommandCase{u"C:\\", u"Dictionary.exe", u'\\', "\"C:\\Dictionary.exe\""},
                    CommandCase{u"D:\\Tools", u"Dictionary.exe", u'\\', "\"D:\\Tools\\Dictionary.exe\""},
                    CommandCase{u"/opt/vorda dictionary/bin", u"vorda-dictionary", u'/',
                                "\"/opt/vorda dictionary/bin/vorda-dictionary\""},
                    CommandCase{u"/", u"vorda-dictionary", u'/', "\"/vorda-dictionary\""}));

TEST_F(AutoStart, WritingOpensWritesAndClosesTheRunKeyThenRemovesTheUsersValue)
{
    fake.platform.log.clear();
    fake.window.RunAtStartUp();
    EXPECT_EQ(fake.platform.log,
              (std::vector<std::string>{"RegOpenKeyEx 2147483650 Software\\Microsoft\\Windows\\CurrentVersion\\Run 0 2",
                                        "RegSetValueEx 256 VordaDictionary 0 1 40", "RegCloseKey 256",
                                        "RegOpenKeyEx 2147483649 Software\\Microsoft\\Windows\\CurrentVersion\\Run 0 2",
                                        "RegDeleteValue 257 VordaDictionary", "RegCloseKey 257"}));
    EXPECT_EQ(StoredCommand(), "\"C:\\Program Files\\Vorda\\Dictionary.exe\"");
}

TEST_F(AutoStart, RemovingDeletesTheUsersValueThenTheMachinesAndAnAbsentValueIsNoError)
{
    fake.window.RunAtStartUp();
    fake.platform.log.clear();
    fake.window.DoNotRunAtStartUp();
    EXPECT_EQ(fake.platform.log,
              (std::vector<std::string>{"RegOpenKeyEx 2147483649 Software\\Microsoft\\Windows\\CurrentVersion\\Run 0 2",
                                        "RegDeleteValue 258 VordaDictionary", "RegCloseKey 258",
                                        "RegOpenKeyEx 2147483650 Software\\Microsoft\\Windows\\CurrentVersion\\Run 0 2",
                                        "RegDeleteValue 259 VordaDictionary", "RegCloseKey 259"}));
    EXPECT_TRUE(fake.platform.runKey.empty());
    fake.window.DoNotRunAtStartUp();
    EXPECT_TRUE(fake.platform.runKey.empty());
    EXPECT_TRUE(fake.platform.userRunKey.empty());
}

TEST_F(AutoStart, AUserWithoutAnyRightsGetsEveryStepOnHandleZeroAndNoChange)
{
    fake.platform.registryDenied = true;
    fake.window.RunAtStartUp();
    fake.window.DoNotRunAtStartUp();
    EXPECT_EQ(fake.platform.LogOf("RegSetValueEx"),
              std::vector<std::string>(2, "RegSetValueEx 0 VordaDictionary 0 1 40"));
    EXPECT_EQ(fake.platform.LogOf("RegQueryValueEx"), std::vector<std::string>{"RegQueryValueEx 0 VordaDictionary 40"});
    EXPECT_EQ(fake.platform.LogOf("RegDeleteValue"), std::vector<std::string>(2, "RegDeleteValue 0 VordaDictionary"));
    EXPECT_EQ(fake.platform.LogOf("RegCloseKey"), std::vector<std::string>(5, "RegCloseKey 0"));
    EXPECT_TRUE(fake.platform.runKey.empty());
    EXPECT_TRUE(fake.platform.userRunKey.empty());
    EXPECT_TRUE(fake.platform.LogOf("MessageBox").empty());
}

// The machine's Run key refused one way or another: the value goes to the user's, and is removed
// from both, each as far as the key allows.
class MachineKeyRefused : public testing::TestWithParam<FakePlatform::Refusal> {
protected:
    void SetUp() override { fake.platform.refusals[kLocalMachineKey] = GetParam(); }
    WindowOverFake fake;
};

TEST_P(MachineKeyRefused, TheValueIsWrittenForTheUserAlone)
{
    fake.platform.log.clear();
    fake.window.RunAtStartUp();
    EXPECT_TRUE(fake.platform.runKey.empty());
    const auto& value = fake.platform.userRunKey.at("VordaDictionary");
    EXPECT_EQ(value, (StoredValue{1, Bytes(std::string("\"C:\\Program Files\\Vorda\\Dictionary.exe\"\0", 40))}));
    // Every key opened is closed again, the refused one included: the machine's to write, to read,
    // and the user's.
    EXPECT_EQ(fake.platform.LogOf("RegOpenKeyEx").size(), 3U);
    EXPECT_EQ(fake.platform.LogOf("RegCloseKey").size(), 3U);
}

TEST_P(MachineKeyRefused, NoAtExitDeletesTheUsersValueAndTheMachinesWhereAllowed)
{
    fake.platform.runKey["VordaDictionary"] = {1, Bytes(std::string(kOtherFolderCommand) + '\0')};
    fake.window.RunAtStartUp();
    ASSERT_TRUE(fake.platform.userRunKey.contains("VordaDictionary"));
    fake.window.DoNotRunAtStartUp();
    EXPECT_TRUE(fake.platform.userRunKey.empty());
    // A key this user may not open or write keeps its value: it is not this user's to remove.
    EXPECT_TRUE(fake.platform.runKey.contains("VordaDictionary"));
}

TEST_P(MachineKeyRefused, AMachineValueThatAlreadyStartsThisProgramGetsNoSecondOneAndNoKeepsIt)
{
    const StoredValue machines{1, Bytes(std::string(kThisCommand) + '\0')};
    fake.platform.runKey["VordaDictionary"] = machines;
    fake.platform.userRunKey["VordaDictionary"] = machines; // left by an earlier start
    fake.window.RunAtStartUp();
    EXPECT_TRUE(fake.platform.userRunKey.empty()) << "the machine's value starts the program for this user too";
    EXPECT_EQ(fake.platform.runKey.at("VordaDictionary"), machines);
    fake.window.DoNotRunAtStartUp();
    EXPECT_EQ(fake.platform.runKey.at("VordaDictionary"), machines) << "not this user's to remove";
}

INSTANTIATE_TEST_SUITE_P(Refusals, MachineKeyRefused,
                         testing::Values(FakePlatform::Refusal::Open, FakePlatform::Refusal::Write));

TEST_F(AutoStart, AUsersKeyAlsoRefusedLeavesNothingWrittenAndNothingShown)
{
    fake.platform.refusals[kLocalMachineKey] = FakePlatform::Refusal::Write;
    fake.platform.refusals[kCurrentUserKey] = FakePlatform::Refusal::Open;
    fake.window.RunAtStartUp();
    EXPECT_TRUE(fake.platform.runKey.empty());
    EXPECT_TRUE(fake.platform.userRunKey.empty());
    EXPECT_TRUE(fake.platform.LogOf("MessageBox").empty());
}

TEST_F(AutoStart, AMachineKeyThatMayBeWrittenButNotDeletedStillLetsTheUsersValueGo)
{
    fake.platform.userRunKey["VordaDictionary"] = {1, Bytes(std::string("\"old\"\0", 6))};
    fake.platform.refusals[kLocalMachineKey] = FakePlatform::Refusal::Delete;
    fake.window.RunAtStartUp();
    fake.window.DoNotRunAtStartUp();
    EXPECT_TRUE(fake.platform.userRunKey.empty());
    EXPECT_TRUE(fake.platform.runKey.contains("VordaDictionary"));
}

// Starts in any order, each elevated (the machine's key may be changed) or ordinary (it may only be
// read, as for a standard user): afterwards at most one value names this program.
enum class Start { Elevated, Ordinary };


struct StartSequence {
    std::string name;
    std::vector<Start> starts;
    std::string machineBefore; // "": no value before the first start
    std::string machineAfter;  // "": no value
    std::string userAfter;
};

class StartsInSequence : public testing::TestWithParam<StartSequence> {
protected:
    static std::optional<std::string> CommandIn(const std::map<std::string, StoredValue>& key)
    {
        const auto value = key.find("VordaDictionary");
        if (value == key.end()) {
            return std::nullopt;
        }
        EXPECT_EQ(value->second.type, 1U);
        return std::string(value->second.data.begin(), value->second.data.end());
    }
    static std::optional<std::string> Stored(const std::string& command)
    {
        return command.empty() ? std::nullopt : std::optional<std::string>(command + '\0');
    }
    WindowOverFake fake;
};

TEST_P(StartsInSequence, LeaveAtMostOneValueNamingTheProgram)
{
    if (!GetParam().machineBefore.empty()) {
        fake.platform.runKey["VordaDictionary"] = {1, Bytes(GetParam().machineBefore + '\0')};
    }
    for (const Start start : GetParam().starts) {
        fake.platform.refusals[kLocalMachineKey] =
            start == Start::Elevated ? FakePlatform::Refusal::None : FakePlatform::Refusal::Open;
        fake.window.RunAtStartUp();
    }
    EXPECT_EQ(CommandIn(fake.platform.runKey), Stored(GetParam().machineAfter));
    EXPECT_EQ(CommandIn(fake.platform.userRunKey), Stored(GetParam().userAfter));
}

const std::string kThis(kThisCommand);
const std::string kOther(kOtherFolderCommand);
constexpr Start E = Start::Elevated;
constexpr Start O = Start::Ordinary;

INSTANTIATE_TEST_SUITE_P(
    Sequences, StartsInSequence,
    testing::Values(StartSequence{"ElevatedThenOrdinary", {E, O}, "", kThis, ""},
                    StartSequence{"OrdinaryThenElevated", {O, E}, "", kThis, ""},
                    StartSequence{"ElevatedThenOrdinaryTwice", {E, O, E, O}, "", kThis, ""},
                    StartSequence{"OrdinaryThenElevatedTwice", {O, E, O, E}, "", kThis, ""},
                    StartSequence{"OrdinaryTwice", {O, O}, "", "", kThis},
                    StartSequence{"ElevatedTwice", {E, E}, "", kThis, ""},
                    // Another folder's program is not this one: the user's value still starts this one.
                    StartSequence{"OtherFoldersValueThenOrdinary", {O}, kOther, kOther, kThis},
                    StartSequence{"OtherFoldersValueThenElevated", {E}, kOther, kThis, ""},
                    StartSequence{"OtherFoldersValueThenOrdinaryThenElevated", {O, E}, kOther, kThis, ""},
                    StartSequence{"LongerValueThenOrdinary", {O}, kThis + " /later", kThis + " /later", kThis}),
    [](const testing::TestParamInfo<StartSequence>& sequence) { return sequence.param.name; });

TEST_F(AutoStart, TheMachinesValueIsReadWithTheRightToQueryAndNoMoreBytesThanTheCommandTakes)
{
    fake.platform.runKey["VordaDictionary"] = {1, Bytes(std::string(kThisCommand) + '\0')};
    fake.platform.refusals[kLocalMachineKey] = FakePlatform::Refusal::Open;
    fake.platform.log.clear();
    fake.window.RunAtStartUp();
    const std::vector<std::string> opens = fake.platform.LogOf("RegOpenKeyEx 2147483650");
    EXPECT_EQ(opens, (std::vector<std::string>{"RegOpenKeyEx 2147483650 Software\\Microsoft\\Windows\\CurrentVersion\\Run 0 2",
                                               "RegOpenKeyEx 2147483650 Software\\Microsoft\\Windows\\CurrentVersion\\Run 0 1"}));
    EXPECT_EQ(fake.platform.LogOf("RegQueryValueEx"), std::vector<std::string>{"RegQueryValueEx 256 VordaDictionary 40"});
    EXPECT_TRUE(fake.platform.LogOf("RegSetValueEx 2").empty()) << "nothing written under another handle";
    EXPECT_TRUE(fake.platform.userRunKey.empty());
}

TEST_F(AutoStart, AFolderWithLettersBeyondAsciiIsKnownAgainInTheMachinesValue)
{
    fake.platform.applicationFolder = u"C:\\Programmes\\Vorda \u00e9t\u00e9";
    fake.window.RunAtStartUp();
    fake.platform.refusals[kLocalMachineKey] = FakePlatform::Refusal::Open;
    fake.window.RunAtStartUp();
    EXPECT_TRUE(fake.platform.userRunKey.empty());
    EXPECT_EQ(StoredCommand(), "\"C:\\Programmes\\Vorda \xE9t\xE9\\Dictionary.exe\"");
}

// Windows' paths ignore the letters' case (an installer or a typed path may write another case than
// this start reports); Linux's do not.
struct CaseOfTheMachinesValue {
    char16_t separator;
    std::u16string folder;
    std::string machineValue;
    bool usersWritten;
};
class MachineValueInAnotherCase : public AutoStart, public testing::WithParamInterface<CaseOfTheMachinesValue> {};

TEST_P(MachineValueInAnotherCase, CountsAsThisProgramOnlyOnWindows)
{
    fake.platform.pathSeparator = GetParam().separator;
    fake.platform.applicationFolder = GetParam().folder;
    fake.platform.runKey["VordaDictionary"] = {1, Bytes(GetParam().machineValue + '\0')};
    fake.platform.refusals[kLocalMachineKey] = FakePlatform::Refusal::Open;
    fake.window.RunAtStartUp();
    EXPECT_EQ(fake.platform.userRunKey.contains("VordaDictionary"), GetParam().usersWritten);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MachineValueInAnotherCase,
    testing::Values(CaseOfTheMachinesValue{u'\\', u"C:\\Program Files\\Vorda", "\"c:\\PROGRAM FILES\\vorda\\dictionary.EXE\"", false},
                    CaseOfTheMachinesValue{u'\\', u"C:\\Program Files\\Vorda", "\"C:\\Program Files\\Vorda2\\Dictionary.exe\"", true},
                    CaseOfTheMachinesValue{u'/', u"/opt/vorda", "\"/OPT/VORDA/Dictionary.exe\"", true}));

TEST_F(AutoStart, AMachineKeyThatCannotEvenBeReadLeavesTheUsersValue)
{
    fake.platform.runKey["VordaDictionary"] = {1, Bytes(std::string(kThisCommand) + '\0')};
    fake.platform.refusals[kLocalMachineKey] = FakePlatform::Refusal::Read;
    fake.window.RunAtStartUp();
    // What cannot be read cannot be relied on: the user's own value is the only start this user can see.
    EXPECT_TRUE(fake.platform.userRunKey.contains("VordaDictionary"));
}

TEST_F(AutoStart, ReadingOnHandleZeroIsRefusedWithoutEffect)
{
    std::uint32_t type = 77;
    std::uint32_t size = 88;
    std::vector<std::uint8_t> data(8, 0xAB);
    EXPECT_EQ(fake.platform.RegQueryValueExA(0, "VordaDictionary", type, data, size), kErrorInvalidHandle);
    EXPECT_EQ(type, 77U);
    EXPECT_EQ(size, 88U);
    EXPECT_EQ(data, std::vector<std::uint8_t>(8, 0xAB));
}

TEST_F(AutoStart, MovedProgramOverwritesTheValueWithItsNewFolder)
{
    fake.window.RunAtStartUp();
    fake.platform.applicationFolder = u"E:\\Moved";
    fake.window.RunAtStartUp();
    EXPECT_EQ(StoredCommand(), "\"E:\\Moved\\Dictionary.exe\"");
}

} // namespace
} // namespace vorda::test
