#include "TestSupport.h"
#include "lookup/LookupService.h"
#include "text/Utf16.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace vorda::test {
namespace {

std::string Base(const LookupService& service) { return ToUtf8(service.BaseAddress()); }

class Lookup : public testing::Test {
protected:
    void SetUp() override { fake.LoadAndClearLog(); }
    WindowOverFake fake;
};

TEST(LookupServices, TableFollowsTheMenuAndEveryAddressEndsInItsQueryValue)
{
    ASSERT_EQ(kLookupServices.size(), 9U);
    std::set<std::u16string_view> hosts;
    for (std::size_t i = 0; i < kLookupServices.size(); ++i) {
        const auto& service = kLookupServices[i];
        EXPECT_EQ(static_cast<std::size_t>(service.item), i + 1) << "row " << i;
        const std::string base = Base(service);
        EXPECT_TRUE(base.starts_with("http://")) << base;
        EXPECT_TRUE(base.ends_with("=")) << base;
        EXPECT_EQ(service.host.find(u'/'), std::u16string_view::npos);
        EXPECT_FALSE(service.host.empty());
        EXPECT_EQ(service.refusesEmptyText, i == 0);
        hosts.insert(service.host);
    }
    EXPECT_EQ(hosts.size(), 9U) << "each service has its own host";
    EXPECT_TRUE(Base(kLookupServices[0]).ends_with("/search?q="));
    EXPECT_TRUE(Base(kLookupServices[6]).ends_with("/r/rhyme.cgi?typeofrhyme=perfect&org1=syl&org2=l&Word="));
}

// Written out in full, so that a slip in the program's table fails here.
TEST_F(Lookup, TheNineAddressesAndTheMakersSiteAreExactlyTheTables)
{
    const std::vector<std::pair<MenuItem, std::string>> table = {
        {MenuItem::mnuLookup, "http://www.dictionary.com/search?q="},
        {MenuItem::mnuSearch, "http://www.google.com/search?q="},
        {MenuItem::mnuThesaurus, "http://www.thesaurus.com/search?q="},
        {MenuItem::mnuSpellCheck, "http://www.spellcheck.net/cgi-bin/spell.exe?action=CHECKWORD&string="},
        {MenuItem::mnuAnagram, "http://wordsmith.org/anagram/anagram.cgi?anagram="},
        {MenuItem::mnuHomophone, "http://www.homophone.com/cgi-bin/data.asp?test=not&SearchVal="},
        {MenuItem::mnuRyhme, "http://www.rhymezone.com/r/rhyme.cgi?typeofrhyme=perfect&org1=syl&org2=l&Word="},
        {MenuItem::mnuQuotes, "http://www.quotationspage.com/search.php3?Search="},
        {MenuItem::mnuEncyclopedia,
         "http://www.encyclopedia.com/cgi-bin/texis/webinator/65search?search_type=full&query="},
    };
    fake.platform.clipboard = u"word";
    std::vector<std::string> expected;
    for (const auto& [item, base] : table) {
        fake.window.MenuItem_Click(item);
        expected.push_back(base + "word");
    }
    fake.window.MenuItem_Click(MenuItem::mnuVorda);
    expected.emplace_back("http://www.vorda.com");
    EXPECT_EQ(fake.platform.OpenedAddresses(), expected);
}

TEST_F(Lookup, EveryLookUpItemOpensItsServiceWithTheTrimmedEncodedText)
{
    fake.platform.clipboard = u"  new york  ";
    for (const auto& service : kLookupServices) {
        fake.platform.launches.clear();
        fake.window.MenuItem_Click(service.item);
        ASSERT_EQ(fake.platform.launches.size(), 1U) << NameOf(service.item);
        const auto& launch = fake.platform.launches[0];
        EXPECT_EQ(launch.owner, kWindowHandle);
        EXPECT_EQ(launch.operation, "Open");
        EXPECT_EQ(launch.file, Base(service) + "new%20york");
        EXPECT_EQ(launch.parameters, "");
        EXPECT_EQ(launch.directory, "C:\\");
        EXPECT_EQ(launch.showCommand, 1);
    }
}

TEST_F(Lookup, LongTextsAreLookedUpWholeAndAmpersandsCannotSplitTheQuery)
{
    fake.platform.clipboard = u"salt & pepper, and a text much longer than twenty characters\r\n";
    fake.window.mnuLookup_Click();
    ASSERT_EQ(fake.platform.launches.size(), 1U);
    EXPECT_EQ(fake.platform.launches[0].file,
              Base(kDictionaryService) +
                  "salt%20%26%20pepper%2C%20and%20a%20text%20much%20longer%20than%20twenty%20characters%0D%0A");
}

TEST_F(Lookup, WithoutTextTheDictionaryOpensNothingAndTheOthersTheirBareAddress)
{
    for (const auto* clipboard : {u"", u"    "}) {
        fake.platform.clipboard = clipboard;
        fake.platform.launches.clear();
        for (const auto& service : kLookupServices) {
            fake.window.MenuItem_Click(service.item);
        }
        std::vector<std::string> expected;
        for (std::size_t i = 1; i < kLookupServices.size(); ++i) {
            expected.push_back(Base(kLookupServices[i]));
        }
        EXPECT_EQ(fake.platform.OpenedAddresses(), expected);
    }
}

TEST_F(Lookup, LookUpReadsTheClipboardAtTheMomentOfTheClick)
{
    fake.platform.clipboard = u"old";
    fake.window.tmrCheckClipboard_Timer();
    fake.platform.clipboard = u"new";
    fake.window.mnuQuotes_Click();
    EXPECT_EQ(fake.platform.OpenedAddresses(),
              std::vector<std::string>{Base(LookupServiceFor(MenuItem::mnuQuotes)) + "new"});
}

TEST_F(Lookup, AFailingStepEndsTheLookUpSilently)
{
    fake.platform.clipboard.reset();
    fake.window.mnuLookup_Click();
    fake.window.mnuSearch_Click();
    fake.platform.clipboard = u"word";
    fake.platform.windowHandleFails = true;
    fake.window.mnuThesaurus_Click();
    EXPECT_TRUE(fake.platform.launches.empty());
    EXPECT_TRUE(fake.platform.LogOf("MessageBox").empty());

    fake.platform.windowHandleFails = false;
    fake.window.mnuThesaurus_Click();
    EXPECT_EQ(fake.platform.launches.size(), 1U) << "the next look-up starts afresh";
}

TEST_F(Lookup, TypedInLookUpAsksWithAnEmptyFieldEveryTime)
{
    fake.platform.inputBoxAnswer = u"  new york  ";
    fake.window.mnuManualLookup_Click();
    fake.window.mnuManualLookup_Click();
    const std::string ask = "InputBox Vorda Dictionary | Enter the word to look up in the dictionary: | ";
    EXPECT_EQ(fake.platform.LogOf("InputBox"), (std::vector<std::string>{ask, ask}));
    EXPECT_EQ(fake.platform.OpenedAddresses(), std::vector<std::string>(2, Base(kDictionaryService) + "new%20york"));
    EXPECT_TRUE(fake.platform.LogOf("ClipboardText").empty()) << "the clipboard is not used";
}

TEST_F(Lookup, TypedInLookUpEncodesTheText)
{
    fake.platform.inputBoxAnswer = u"salt & pepper";
    fake.window.mnuManualLookup_Click();
    EXPECT_EQ(fake.platform.OpenedAddresses(),
              std::vector<std::string>{Base(kDictionaryService) + "salt%20%26%20pepper"});
}

TEST_F(Lookup, TypedInLookUpOpensNothingForCancelOrBlankText)
{
    for (const auto* typed : {u"", u"   "}) {
        fake.platform.inputBoxAnswer = typed;
        fake.window.mnuManualLookup_Click();
    }
    EXPECT_TRUE(fake.platform.launches.empty());
    EXPECT_TRUE(fake.platform.LogOf("MessageBox").empty());
}

TEST_F(Lookup, HomeSiteOpensTheMakersRootAddress)
{
    fake.platform.clipboard.reset(); // not needed, and not touched
    fake.window.mnuVorda_Click();
    ASSERT_EQ(fake.platform.launches.size(), 1U);
    const std::string address = fake.platform.launches[0].file;
    EXPECT_EQ(address, ToUtf8(kHomeSiteAddress));
    ASSERT_TRUE(address.starts_with("http://"));
    EXPECT_EQ(address.find('/', 7), std::string::npos) << "nothing after the host";
    EXPECT_EQ(fake.platform.launches[0].owner, kWindowHandle);

    fake.platform.windowHandleFails = true;
    fake.window.mnuVorda_Click();
    EXPECT_EQ(fake.platform.launches.size(), 1U);
}

} // namespace
} // namespace vorda::test
