// The Linux program's registry store over a real, temporary XDG autostart folder, beyond what the
// end-to-end tests reach: refused keys and handles, names, escaping in the Exec line, and the
// Windows-1252 bytes the program hands over.

#include "autostart/AutoStart.h"
#include "autostart/RegistryValue.h"
#include "platform/qt/session/AutostartRegistry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vorda::qt {
namespace {

namespace fs = std::filesystem;
using Registry = AutostartRegistry;

constexpr auto kText = static_cast<std::uint32_t>(kRegistryText);
constexpr auto kNumber = static_cast<std::uint32_t>(kRegistryNumber);
constexpr std::string_view kRunKeyNarrow = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::span<const std::uint8_t> Bytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Contents(const fs::path& file)
{
    std::ifstream in(file);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class AutostartRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vorda-registry.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        folder_ = root_ / "first" / "autostart";
        fs::create_directories(folder_);
        const std::string dirs = (root_ / "first").string() + ":" + (root_ / "second").string();
        ::setenv("XDG_CONFIG_DIRS", dirs.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("XDG_CONFIG_DIRS");
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, ignored);
        fs::remove_all(root_, ignored);
    }

    RegistryKey OpenRunKey(std::uint32_t access = kQueryValueAccess | kSetValueAccess)
    {
        RegistryKey key = 0;
        EXPECT_EQ(registry_.Open(kLocalMachineKey, kRunKeyNarrow, key, access), Registry::kSuccess);
        EXPECT_NE(key, 0U);
        return key;
    }

    fs::path root_;
    fs::path folder_;
    Registry registry_;
};

TEST_F(AutostartRegistryTest, RunKeyIsTheFirstSystemConfigFolder)
{
    EXPECT_EQ(Registry::SystemAutostartFolder(), folder_.string());
    ::setenv("XDG_CONFIG_DIRS", "/somewhere/xdg/:/else", 1);
    EXPECT_EQ(Registry::SystemAutostartFolder(), "/somewhere/xdg/autostart");
    ::setenv("XDG_CONFIG_DIRS", "", 1);
    EXPECT_EQ(Registry::SystemAutostartFolder(), "/etc/xdg/autostart");
    ::unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(Registry::SystemAutostartFolder(), "/etc/xdg/autostart");
}

TEST_F(AutostartRegistryTest, SettingAValueWritesAWholeDesktopEntry)
{
    const RegistryKey key = OpenRunKey();
    const std::string data = std::string("\"/opt/vorda/vorda-dictionary\"") + '\0';
    EXPECT_EQ(registry_.SetValue(key, "VordaDictionary", kText, Bytes(data)), Registry::kSuccess);
    EXPECT_EQ(registry_.Close(key), Registry::kSuccess);

    const fs::path entry = folder_ / "VordaDictionary.desktop";
    EXPECT_EQ(Contents(entry), "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=Vorda Dictionary\n"
                               "TryExec=/opt/vorda/vorda-dictionary\n"
                               "Exec=\"/opt/vorda/vorda-dictionary\"\n"
                               "Icon=vorda-dictionary\n"
                               "Terminal=false\n");
    EXPECT_EQ(fs::status(entry).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1) << "a temporary file was left";
}

TEST_F(AutostartRegistryTest, SettingAgainReplacesTheEntry)
{
    const RegistryKey key = OpenRunKey();
    registry_.SetValue(key, "VordaDictionary", kText, Bytes(std::string("\"/old/vorda-dictionary\"") + '\0'));
    registry_.SetValue(key, "VordaDictionary", kText, Bytes(std::string("\"/new/vorda-dictionary\"") + '\0'));
    const std::string contents = Contents(folder_ / "VordaDictionary.desktop");
    EXPECT_NE(contents.find("Exec=\"/new/vorda-dictionary\"\n"), std::string::npos);
    EXPECT_EQ(contents.find("/old/"), std::string::npos);
}

TEST_F(AutostartRegistryTest, ExecLineEscapesWhatDesktopEntriesReserve)
{
    const RegistryKey key = OpenRunKey();
    const std::string data = std::string("\"/opt/my apps/$HOME/100%/a\\b\"") + '\0';
    registry_.SetValue(key, "VordaDictionary", kText, Bytes(data));
    // Inside the quotes: $ and \ take a backslash; then every backslash is doubled and % doubled.
    EXPECT_NE(Contents(folder_ / "VordaDictionary.desktop").find("Exec=\"/opt/my apps/\\\\$HOME/100%%/a\\\\\\\\b\"\n"),
              std::string::npos)
        << Contents(folder_ / "VordaDictionary.desktop");
    // TryExec is the bare path, a plain value: only its backslash is doubled.
    EXPECT_NE(Contents(folder_ / "VordaDictionary.desktop").find("TryExec=/opt/my apps/$HOME/100%/a\\\\b\n"),
              std::string::npos)
        << Contents(folder_ / "VordaDictionary.desktop");
}

TEST_F(AutostartRegistryTest, NarrowTextIsUtf8AndEveryLetterReachesTheEntry)
{
    const RegistryKey key = OpenRunKey();
    const std::string data = std::string("\"/opt/\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b/vorda-dictionary\"") + '\0';
    registry_.SetValue(key, "Vorda\u00e9", kText, Bytes(data));
    EXPECT_NE(Contents(folder_ / "Vorda\xC3\xA9.desktop")
                  .find("Exec=\"/opt/\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B/vorda-dictionary\"\n"),
              std::string::npos)
        << Contents(folder_ / "Vorda\xC3\xA9.desktop");
}

TEST_F(AutostartRegistryTest, TheTextEndsAtItsNul)
{
    const RegistryKey key = OpenRunKey();
    const std::string data = std::string("\"/a/vorda-dictionary\"") + '\0' + "rest";
    registry_.SetValue(key, "VordaDictionary", kText, Bytes(data));
    EXPECT_NE(Contents(folder_ / "VordaDictionary.desktop").find("Exec=\"/a/vorda-dictionary\"\nIcon"), std::string::npos);
}

TEST_F(AutostartRegistryTest, DeletingRemovesTheEntryAndAMissingOneIsNotFound)
{
    const RegistryKey key = OpenRunKey();
    registry_.SetValue(key, "VordaDictionary", kText, Bytes(std::string("\"/a/b\"") + '\0'));
    EXPECT_EQ(registry_.DeleteValue(key, "VordaDictionary"), Registry::kSuccess);
    EXPECT_FALSE(fs::exists(folder_ / "VordaDictionary.desktop"));
    EXPECT_EQ(registry_.DeleteValue(key, "VordaDictionary"), Registry::kFileNotFound);
}

TEST_F(AutostartRegistryTest, KeyNamesIgnoreLetterCase)
{
    RegistryKey key = 0;
    EXPECT_EQ(registry_.Open(kLocalMachineKey, "SOFTWARE\\microsoft\\windows\\currentversion\\run", key),
              Registry::kSuccess);
    EXPECT_NE(key, 0U);
}

TEST_F(AutostartRegistryTest, OtherRootsAndKeysAreRefused)
{
    RegistryKey key = 0;
    EXPECT_NE(registry_.Open(0x80000000, kRunKeyNarrow, key), Registry::kSuccess); // HKEY_CLASSES_ROOT
    EXPECT_NE(registry_.Open(0x80000003, kRunKeyNarrow, key), Registry::kSuccess); // HKEY_USERS
    EXPECT_NE(registry_.Open(kCurrentUserKey, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", key),
              Registry::kSuccess);
    EXPECT_NE(registry_.Open(kLocalMachineKey, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", key),
              Registry::kSuccess);
    EXPECT_NE(registry_.Open(kLocalMachineKey, "", key), Registry::kSuccess);
    EXPECT_EQ(key, 0U);
}

TEST_F(AutostartRegistryTest, AMissingFolderGivesNoHandle)
{
    fs::remove_all(folder_);
    RegistryKey key = 0;
    EXPECT_EQ(registry_.Open(kLocalMachineKey, kRunKeyNarrow, key), Registry::kFileNotFound);
    EXPECT_EQ(key, 0U);
    EXPECT_FALSE(fs::exists(folder_)) << "the folder must not be created";
}

TEST_F(AutostartRegistryTest, AFolderThisUserCannotWriteGivesNoHandle)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write anywhere; the end-to-end test runs the program as nobody";
    }
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    RegistryKey key = 0;
    EXPECT_EQ(registry_.Open(kLocalMachineKey, kRunKeyNarrow, key), Registry::kAccessDenied);
    EXPECT_EQ(key, 0U);
}

TEST_F(AutostartRegistryTest, EveryOperationOnHandleZeroIsRefusedWithoutEffect)
{
    const std::string data = std::string("\"/a/b\"") + '\0';
    EXPECT_EQ(registry_.SetValue(0, "VordaDictionary", kText, Bytes(data)), Registry::kInvalidHandle);
    EXPECT_EQ(registry_.DeleteValue(0, "VordaDictionary"), Registry::kInvalidHandle);
    EXPECT_EQ(registry_.Close(0), Registry::kInvalidHandle);
    EXPECT_TRUE(fs::is_empty(folder_));
}

// What a value reads back as: the code, the type, the bytes given, and the size reported.
struct ReadBack {
    std::int32_t code;
    std::uint32_t type;
    std::string data;
    std::uint32_t size;
};

ReadBack Query(Registry& registry, RegistryKey key, std::string_view name, std::size_t room = 4096)
{
    ReadBack read{-1, 77, std::string(room, '\xAB'), 88};
    read.code = registry.QueryValue(key, name, read.type,
                                    {reinterpret_cast<std::uint8_t*>(read.data.data()), read.data.size()}, read.size);
    if (read.code == Registry::kSuccess) {
        read.data.resize(read.size);
    }
    return read;
}

TEST_F(AutostartRegistryTest, AValueReadsBackAsItWasSetEscapesAndLettersIncluded)
{
    const RegistryKey key = OpenRunKey();
    for (const std::string command : {"\"/opt/vorda/vorda-dictionary\"", "\"/opt/my apps/$HOME/100%/a\\b`\"\"",
                                      "\"/opt/\xD0\x9F\xD1\x80\xD0\xBE/vorda-dictionary\"", "/bare/path with\ttab"}) {
        registry_.SetValue(key, "VordaDictionary", kText, Bytes(command + '\0'));
        const ReadBack read = Query(registry_, key, "VordaDictionary");
        EXPECT_EQ(read.code, Registry::kSuccess) << command;
        EXPECT_EQ(read.type, kText);
        EXPECT_EQ(read.data, command + '\0');
        EXPECT_EQ(read.size, command.size() + 1);
    }
}

TEST_F(AutostartRegistryTest, ReadingNeverGoesBeyondTheRoomGiven)
{
    const RegistryKey key = OpenRunKey();
    const std::string data = std::string("\"/a/vorda-dictionary\"") + '\0';
    registry_.SetValue(key, "VordaDictionary", kText, Bytes(data));
    const ReadBack read = Query(registry_, key, "VordaDictionary", data.size() - 1);
    EXPECT_EQ(read.code, Registry::kMoreData);
    EXPECT_EQ(read.size, data.size());
    EXPECT_EQ(read.data, std::string(data.size() - 1, '\xAB'));
    EXPECT_EQ(Query(registry_, key, "VordaDictionary", data.size()).code, Registry::kSuccess);
}

TEST_F(AutostartRegistryTest, EntriesThatHoldNoCommandOrAreNoFilesReadAsNothingAndAreNeverWaitedOn)
{
    const RegistryKey key = OpenRunKey();
    EXPECT_EQ(Query(registry_, key, "VordaDictionary").code, Registry::kFileNotFound);
    std::ofstream(folder_ / "NoExec.desktop") << "[Desktop Entry]\nType=Application\n[Other]\nExec=elsewhere\n";
    EXPECT_EQ(Query(registry_, key, "NoExec").code, Registry::kInvalidData);
    std::ofstream(folder_ / "Huge.desktop") << "[Desktop Entry]\nExec=x\n" << std::string(Registry::kEntryLimit, '#');
    EXPECT_EQ(Query(registry_, key, "Huge").code, Registry::kInvalidData);
    ASSERT_EQ(::mkfifo((folder_ / "Pipe.desktop").c_str(), 0600), 0);
    EXPECT_EQ(Query(registry_, key, "Pipe").code, Registry::kInvalidData);
    fs::create_directory(folder_ / "Folder.desktop");
    EXPECT_EQ(Query(registry_, key, "Folder").code, Registry::kInvalidData);
    std::ofstream(folder_ / "Spaced.desktop") << "[Desktop Entry]\r\nTryExec=/usr/bin/x\r\nExec =  /usr/bin/x\r\n";
    EXPECT_EQ(Query(registry_, key, "Spaced").data, std::string("/usr/bin/x") + '\0');
    // What a session would not start, or an older entry that goes on naming a program that is gone,
    // stands for no start of the program.
    for (const std::string_view entry : {"[Desktop Entry]\nExec=/usr/bin/x\n",
                                         "[Desktop Entry]\nTryExec=/usr/bin/x\nExec=/usr/bin/x\nHidden=true\n",
                                         "[Desktop Entry]\nTryExec=/usr/bin/x\nExec=/usr/bin/x\nX-GNOME-Autostart-enabled=false\n"}) {
        std::ofstream(folder_ / "Skipped.desktop") << entry;
        EXPECT_EQ(Query(registry_, key, "Skipped").code, Registry::kInvalidData) << entry;
    }
}

TEST_F(AutostartRegistryTest, AKeyOpenedToReadMayNotChangeAndOneOpenedToChangeMayNotRead)
{
    RegistryKey reading = 0;
    ASSERT_EQ(registry_.Open(kLocalMachineKey, kRunKeyNarrow, reading, kQueryValueAccess), Registry::kSuccess);
    const std::string data = std::string("\"/a/b\"") + '\0';
    EXPECT_EQ(registry_.SetValue(reading, "VordaDictionary", kText, Bytes(data)), Registry::kAccessDenied);
    EXPECT_TRUE(fs::is_empty(folder_));
    const RegistryKey writing = OpenRunKey(kSetValueAccess);
    registry_.SetValue(writing, "VordaDictionary", kText, Bytes(data));
    EXPECT_EQ(registry_.DeleteValue(reading, "VordaDictionary"), Registry::kAccessDenied);
    EXPECT_EQ(Query(registry_, writing, "VordaDictionary").code, Registry::kAccessDenied);
    EXPECT_EQ(Query(registry_, reading, "VordaDictionary").data, data);
}

TEST_F(AutostartRegistryTest, AFolderThisUserMayReadButNotWriteOpensToReadOnly)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write anywhere; the end-to-end test runs the program as nobody";
    }
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    RegistryKey key = 0;
    EXPECT_EQ(registry_.Open(kLocalMachineKey, kRunKeyNarrow, key, kQueryValueAccess), Registry::kSuccess);
    EXPECT_NE(key, 0U);
}

TEST_F(AutostartRegistryTest, ReadingOnHandleZeroIsRefusedWithoutEffect)
{
    const ReadBack read = Query(registry_, 0, "VordaDictionary", 8);
    EXPECT_EQ(read.code, Registry::kInvalidHandle);
    EXPECT_EQ(read.type, 77U);
    EXPECT_EQ(read.size, 88U);
    EXPECT_EQ(read.data, std::string(8, '\xAB'));
}

TEST_F(AutostartRegistryTest, AClosedOrUnknownHandleIsRefused)
{
    const RegistryKey key = OpenRunKey();
    EXPECT_EQ(registry_.Close(key), Registry::kSuccess);
    EXPECT_EQ(registry_.SetValue(key, "VordaDictionary", kText, Bytes(std::string("x") + '\0')), Registry::kInvalidHandle);
    EXPECT_EQ(registry_.Close(key), Registry::kInvalidHandle);
    EXPECT_EQ(registry_.SetValue(key + 100, "VordaDictionary", kText, Bytes(std::string("x") + '\0')),
              Registry::kInvalidHandle);
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(AutostartRegistryTest, NamesThatAreNoFileNamesAndNonTextTypesAreRefused)
{
    const RegistryKey key = OpenRunKey();
    const std::string data = std::string("\"/a/b\"") + '\0';
    for (const std::string_view name : {std::string_view(""), std::string_view("."), std::string_view(".."),
                                        std::string_view("a/b"), std::string_view("a\0b", 3)}) {
        EXPECT_EQ(registry_.SetValue(key, name, kText, Bytes(data)), Registry::kInvalidParameter);
        EXPECT_EQ(registry_.DeleteValue(key, name), Registry::kInvalidParameter);
    }
    const std::uint8_t number[4] = {1, 0, 0, 0};
    EXPECT_EQ(registry_.SetValue(key, "VordaDictionary", kNumber, number), Registry::kInvalidParameter);
    EXPECT_TRUE(fs::is_empty(folder_));
}

struct UserFolderCase {
    const char* configHome; // nullptr: unset
    const char* home;
    std::string folder;
};

class UserAutostartFolder : public ::testing::TestWithParam<UserFolderCase> {
protected:
    void TearDown() override
    {
        ::unsetenv("XDG_CONFIG_HOME");
        ::setenv("HOME", home_.c_str(), 1);
    }
    std::string home_ = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/";
};

TEST_P(UserAutostartFolder, FollowsTheBaseFolderRules)
{
    const auto set = [](const char* name, const char* value) {
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    };
    set("XDG_CONFIG_HOME", GetParam().configHome);
    set("HOME", GetParam().home);
    EXPECT_EQ(Registry::UserAutostartFolder(), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, UserAutostartFolder,
    ::testing::Values(UserFolderCase{"/cfg", "/home/u", "/cfg/autostart"},
                      UserFolderCase{"/cfg//", "/home/u", "/cfg/autostart"},
                      UserFolderCase{nullptr, "/home/u", "/home/u/.config/autostart"},
                      UserFolderCase{"", "/home/u/", "/home/u/.config/autostart"},
                      UserFolderCase{"relative/cfg", "/home/u", "/home/u/.config/autostart"},
                      UserFolderCase{nullptr, "relative", ""}, UserFolderCase{nullptr, nullptr, ""}));

class UserRunKeyTest : public AutostartRegistryTest {
protected:
    void SetUp() override
    {
        AutostartRegistryTest::SetUp();
        userFolder_ = root_ / "home" / "config" / "autostart";
        ::setenv("XDG_CONFIG_HOME", (root_ / "home" / "config").c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("XDG_CONFIG_HOME");
        AutostartRegistryTest::TearDown();
    }
    fs::path userFolder_;
};

TEST_F(UserRunKeyTest, IsThereBeforeItsFolderAndMakesItPrivateAtTheFirstWrite)
{
    RegistryKey key = 0;
    ASSERT_EQ(registry_.Open(kCurrentUserKey, kRunKeyNarrow, key), Registry::kSuccess);
    EXPECT_FALSE(fs::exists(root_ / "home")) << "opening alone makes nothing";
    EXPECT_EQ(registry_.DeleteValue(key, "VordaDictionary"), Registry::kFileNotFound);
    EXPECT_FALSE(fs::exists(root_ / "home")) << "a delete makes nothing";

    EXPECT_EQ(registry_.SetValue(key, "VordaDictionary", kText, Bytes(std::string("\"/a/b\"") + '\0')),
              Registry::kSuccess);
    EXPECT_NE(Contents(userFolder_ / "VordaDictionary.desktop").find("Exec=\"/a/b\"\n"), std::string::npos);
    for (const fs::path& made : {root_ / "home", root_ / "home" / "config", userFolder_}) {
        EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all) << made;
    }
    EXPECT_TRUE(fs::is_empty(folder_)) << "nothing in the system folder";
    EXPECT_EQ(registry_.DeleteValue(key, "VordaDictionary"), Registry::kSuccess);
    EXPECT_TRUE(fs::is_empty(userFolder_));
}

TEST_F(UserRunKeyTest, AFileWhereTheFolderShouldBeGivesNoHandle)
{
    fs::create_directories(userFolder_.parent_path());
    std::ofstream(userFolder_) << "not a folder";
    RegistryKey key = 0;
    EXPECT_EQ(registry_.Open(kCurrentUserKey, kRunKeyNarrow, key), Registry::kFileNotFound);
    EXPECT_EQ(key, 0U);
}

// The superuser run with another user's HOME (sudo -E, su without "-"), or XDG_CONFIG_HOME in it:
// nothing of the superuser's may appear there, or that user's own starts are refused for good.
struct OtherHomeCase {
    std::string name;
    std::vector<std::string> existing; // folders under that HOME that are there, the user's
    bool viaConfigHome;                // XDG_CONFIG_HOME names HOME/.config
};

class AnotherUsersHome : public UserRunKeyTest, public ::testing::WithParamInterface<OtherHomeCase> {
protected:
    void SetUp() override
    {
        UserRunKeyTest::SetUp();
        savedHome_ = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
        if (::geteuid() != 0) {
            // Only the superuser can make a folder someone else's; "/" is the superuser's already.
            if (!GetParam().existing.empty()) {
                GTEST_SKIP() << "only the superuser can make folders of another user";
            }
            home_ = "/";
            return;
        }
        home_ = root_ / "other";
        fs::create_directories(home_);
        ASSERT_EQ(::chown(home_.c_str(), kOtherUser, kOtherUser), 0);
        for (const std::string& folder : GetParam().existing) {
            fs::create_directories(home_ / folder);
            ASSERT_EQ(::chown((home_ / folder).c_str(), kOtherUser, kOtherUser), 0);
        }
    }
    void TearDown() override
    {
        ::setenv("HOME", savedHome_.c_str(), 1);
        UserRunKeyTest::TearDown();
    }
    static constexpr uid_t kOtherUser = 65534; // nobody
    fs::path home_;
    std::string savedHome_;
};

TEST_P(AnotherUsersHome, GivesNoUsersKeyAndNothingIsMadeThere)
{
    ::setenv("HOME", home_.c_str(), 1);
    if (GetParam().viaConfigHome) {
        ::setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
    const auto before = [&] {
        std::vector<std::string> found;
        for (const auto& item : fs::recursive_directory_iterator(home_ == "/" ? root_ : home_)) {
            found.push_back(item.path().string());
        }
        return found;
    }();
    RegistryKey key = 0;
    EXPECT_EQ(registry_.Open(kCurrentUserKey, kRunKeyNarrow, key), Registry::kAccessDenied);
    EXPECT_EQ(key, 0U);
    // What the program then does with handle 0: nothing of it reaches that HOME.
    EXPECT_EQ(registry_.SetValue(key, "VordaDictionary", kText, Bytes(std::string("\"/a/b\"") + '\0')),
              Registry::kInvalidHandle);
    std::vector<std::string> after;
    for (const auto& item : fs::recursive_directory_iterator(home_ == "/" ? root_ : home_)) {
        after.push_back(item.path().string());
    }
    EXPECT_EQ(after, before);
    if (home_ == "/") {
        EXPECT_FALSE(fs::exists("/.config/autostart/VordaDictionary.desktop"));
    }
}

// A HOME not made yet lies in a folder this user may write (root's /home, a test's own folder): it is
// still not this user's to make.
TEST_F(UserRunKeyTest, AHomeNotMadeYetGivesNoUsersKeyAndIsNotMade)
{
    const std::string saved = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    const fs::path home = root_ / "not-made-yet";
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    RegistryKey key = 0;
    EXPECT_EQ(registry_.Open(kCurrentUserKey, kRunKeyNarrow, key, kSetValueAccess), Registry::kAccessDenied);
    EXPECT_EQ(registry_.SetValue(key, "VordaDictionary", kText, Bytes(std::string("\"/a/b\"") + '\0')),
              Registry::kInvalidHandle);
    EXPECT_FALSE(fs::exists(home));
    ::setenv("HOME", saved.c_str(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, AnotherUsersHome,
    ::testing::Values(OtherHomeCase{"NothingYet", {}, false}, OtherHomeCase{"ConfigThere", {".config"}, false},
                      OtherHomeCase{"AutostartThere", {".config", ".config/autostart"}, false},
                      OtherHomeCase{"ConfigHomeInIt", {}, true},
                      OtherHomeCase{"ConfigHomeInItAndThere", {".config"}, true}),
    [](const ::testing::TestParamInfo<OtherHomeCase>& folders) { return folders.param.name; });

TEST_F(UserRunKeyTest, NoHomeAtAllGivesNoHandle)
{
    ::unsetenv("XDG_CONFIG_HOME");
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::unsetenv("HOME");
    RegistryKey key = 0;
    EXPECT_EQ(registry_.Open(kCurrentUserKey, kRunKeyNarrow, key), Registry::kFileNotFound);
    EXPECT_EQ(key, 0U);
    ::setenv("HOME", home.c_str(), 1);
}

} // namespace
} // namespace vorda::qt
