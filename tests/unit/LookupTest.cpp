#include "TestSupport.h"
#include "lookup/LookupService.h"
#include "text/Utf16.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
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

// Decodes an address's %XX back into bytes; fails on a % that is not followed by two hex digits.
std::string Unescaped(std::string_view query)
{
    std::string bytes;
    for (std::size_t i = 0; i < query.size(); ++i) {
        if (query[i] != '%') {
            bytes += query[i];
            continue;
        }
        EXPECT_LE(i + 3, query.size()) << "a %XX split at " << i;
        bytes += static_cast<char>(std::stoi(std::string(query.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    return bytes;
}

// A long text opens its service with as many whole characters as fit within the address limit:
// never a split %XX or half a character, and never one character fewer than fits.
void ExpectCutAddress(const std::string& address, const std::string& base, std::u16string_view text)
{
    ASSERT_TRUE(address.starts_with(base));
    ASSERT_LE(address.size(), kLongestAddress);
    const std::string query = address.substr(base.size());
    const std::string whole = ToUtf8(TrimSpaces(text));
    const std::string carried = Unescaped(query);
    ASSERT_TRUE(whole.starts_with(carried)) << "the address carries the start of the text";
    ASSERT_LT(carried.size(), whole.size()) << "the text was cut";
    EXPECT_NE(static_cast<unsigned char>(whole[carried.size()]) & 0xC0, 0x80) << "cut at a whole character";
    // The next character would not have fitted.
    std::size_t next = carried.size() + 1;
    while (next < whole.size() && (static_cast<unsigned char>(whole[next]) & 0xC0) == 0x80) {
        ++next;
    }
    const std::u16string nextEncoded = PercentEncode(FromUtf8(whole.substr(carried.size(), next - carried.size())));
    EXPECT_GT(address.size() + nextEncoded.size(), kLongestAddress) << "the next character fitted";
}

TEST_F(Lookup, ATextWhoseAddressIsTooLongIsCutAtAWholeCharacterWithinTheLimit)
{
    const std::string base = Base(kDictionaryService);
    std::vector<std::u16string> texts = {
        std::u16string(10000, u'w'),
        std::u16string(50000, u'w'),
        std::u16string(200000, u'w'),
        std::u16string(20000, u'中'),                // CJK: three bytes, nine address characters each
        u"   " + std::u16string(3000, u'&') + u"   ",  // one byte, three address characters each
    };
    std::u16string emoji;
    for (int i = 0; i < 3000; ++i) {
        emoji += (i % 2 == 0) ? u"😀" : u"éx"; // four, two and one byte
    }
    texts.push_back(emoji);
    for (const std::u16string& text : texts) {
        fake.platform.clipboard = text;
        fake.platform.launches.clear();
        fake.window.mnuLookup_Click();
        ASSERT_EQ(fake.platform.launches.size(), 1U) << "a look-up of " << text.size() << " units opens one address";
        ExpectCutAddress(fake.platform.launches[0].file, base, text);
    }
    EXPECT_EQ(BuildLookupAddress(kDictionaryService, std::u16string(10000, u'w')).size(), kLongestAddress)
        << "letters fill the address to the last character";
}

TEST_F(Lookup, ATextThatJustFitsIsLookedUpWholeAndOneMoreCharacterIsCut)
{
    const std::string base = Base(kDictionaryService);
    const std::u16string fits(kLongestAddress - base.size(), u'w');
    EXPECT_EQ(ToUtf8(BuildLookupAddress(kDictionaryService, fits)), base + ToUtf8(fits));
    EXPECT_EQ(ToUtf8(BuildLookupAddress(kDictionaryService, fits + u"z")), base + ToUtf8(fits));
    // A character of nine address characters does not fit in the last eight.
    const std::u16string almost(kLongestAddress - base.size() - 8, u'w');
    EXPECT_EQ(ToUtf8(BuildLookupAddress(kDictionaryService, almost + u"中")), base + ToUtf8(almost));
}

TEST_F(Lookup, AHugeTextIsCutWithoutBeingWalkedThrough)
{
    // Thirty million units with spaces at both ends: only the characters that fit are encoded.
    std::u16string huge(30'000'000, u'h');
    huge.front() = huge.back() = u' ';
    const auto started = std::chrono::steady_clock::now();
    const std::u16string address = BuildLookupAddress(LookupServiceFor(MenuItem::mnuSearch), huge);
    EXPECT_EQ(address.size(), kLongestAddress);
    EXPECT_EQ(address.capacity() < 2 * kLongestAddress, true) << "no room made for the whole text";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
}

TEST_F(Lookup, TheTypedInLookUpIsCutTheSameWay)
{
    fake.platform.inputBoxAnswer = std::u16string(5000, u'é');
    fake.window.mnuManualLookup_Click();
    ASSERT_EQ(fake.platform.launches.size(), 1U);
    ExpectCutAddress(fake.platform.launches[0].file, Base(kDictionaryService), fake.platform.inputBoxAnswer);
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
