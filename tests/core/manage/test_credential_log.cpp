// pwd.ini: the ID/password log, its text form, its bounds, and that no save loses an entry.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/common/text.h"
#include "core/manage/credential_log.h"
#include "support/file_size_limit.h"
#include "support/report_texts.h"
#include "support/test_paths.h"

namespace tarn {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeLog(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

class CredentialLogTest : public ::testing::Test {
protected:
    std::string path = test::scratchDir().toStdString() + "/pwd.ini";
    CredentialLog log{path};
};

// A step that did what was asked and had nothing to report.
bool quietSuccess(const StepResult& result) { return result.ok && result.reports.empty(); }

TEST_F(CredentialLogTest, TheFileIsForItsOwnerOnlyWhateverTheUmask) {
    // 0277 would take the owner's write bit, 0 would give the file to everyone.
    for (const mode_t mask : {mode_t{022}, mode_t{0277}, mode_t{0}}) {
        SCOPED_TRACE(mask);
        ::unlink(path.c_str());
        const mode_t original = ::umask(mask);
        const bool loaded = quietSuccess(log.LoadLog());  // a missing log reads as empty and stays missing
        const bool stillMissing = ::access(path.c_str(), F_OK) != 0;
        const bool saved = log.AppendEntry() && log.StoreEntry("AA", "id", "pw", -1) && quietSuccess(log.SaveLog());
        const mode_t unchanged = ::umask(original);
        EXPECT_EQ(unchanged, mask);
        ASSERT_TRUE(loaded);
        EXPECT_TRUE(stillMissing);
        ASSERT_TRUE(saved);
        EXPECT_EQ(modeOf(path), 0600u);
    }
}

TEST_F(CredentialLogTest, WindowsLineEndsReadLikeUnixOnes) {
    const std::string unixText = CredentialLog::formatEntry(1, {"AA:00:00:00:00:01", "plant-/space/-operator", "pw"}) +
                                 CredentialLog::formatEntry(2, {"AA:00:00:00:00:02", "admin", "two-/space/-words"});
    for (const std::string& text : {unixText, replaceAll(unixText, "\n", "\r\n")}) {
        writeLog(path, text);
        ASSERT_TRUE(quietSuccess(log.LoadLog()));
        ASSERT_EQ(log.count(), 2);
        EXPECT_EQ(log.entry(0).mac, "AA:00:00:00:00:01");
        EXPECT_EQ(log.entry(0).id, "plant operator");
        EXPECT_EQ(log.entry(0).password, "pw");
        EXPECT_EQ(log.entry(1).id, "admin");
        EXPECT_EQ(log.entry(1).password, "two words");
    }
}

TEST_F(CredentialLogTest, TextsTakenFromTheLogStayAsTheyWere) {
    ASSERT_TRUE(log.LoadLog());
    ASSERT_TRUE(log.AppendEntry());
    ASSERT_TRUE(log.StoreEntry("AA", "first", "pw", -1));
    const std::string& id = log.currentId();
    const CredentialEntry& entry = log.entry(0);
    for (int i = 0; i < 40; ++i) {  // the table grows and moves
        ASSERT_TRUE(log.AppendEntry());
        ASSERT_TRUE(log.StoreEntry("B" + std::to_string(i), "other", "x", -1));
    }
    ASSERT_TRUE(log.StoreEntry("AA", "second", "pw", 0));
    EXPECT_EQ(id, "first");
    EXPECT_EQ(entry.mac, "AA");
    EXPECT_EQ(entry.id, "first");
    EXPECT_EQ(log.currentId(), "second");
}

TEST_F(CredentialLogTest, WritesBlanksAsCodesAndMacsInUpperCase) {
    ASSERT_TRUE(log.LoadLog());
    ASSERT_TRUE(log.AppendEntry());
    ASSERT_TRUE(log.StoreEntry("00:1a:2b:3c:4d:5e", "plant operator", "s3cret pass", -1));
    ASSERT_TRUE(log.SaveLog());
    EXPECT_EQ(readFile(path),
              "\n[1]\nMAC : 00:1A:2B:3C:4D:5E \nID : plant-/space/-operator \nPassword : s3cret-/space/-pass \n");
    EXPECT_EQ(modeOf(path), 0600u);

    CredentialLog again(path);
    ASSERT_TRUE(quietSuccess(again.LoadLog()));
    ASSERT_EQ(again.count(), 1);
    EXPECT_EQ(again.currentIndex(), 1);
    const int index = again.FindMac("00:1A:2B:3C:4D:5E");
    ASSERT_EQ(index, 0);
    ASSERT_TRUE(again.SelectEntry(index));
    EXPECT_EQ(again.currentId(), "plant operator");
    EXPECT_EQ(again.currentPassword(), "s3cret pass");
}

TEST_F(CredentialLogTest, LowerCaseMacsAreNotFoundUntilTheNextSave) {
    writeLog(path, "\n[1]\nMAC : 00:1a:2b:3c:4d:5e \nID : admin \nPassword : pw \n");
    ASSERT_TRUE(log.LoadLog());
    EXPECT_EQ(log.FindMac("00:1A:2B:3C:4D:5E"), -1);
    EXPECT_EQ(log.FindMac("00:1a:2b:3c:4d:5e"), 0);
    ASSERT_TRUE(log.SaveLog());
    ASSERT_TRUE(log.LoadLog());
    EXPECT_EQ(log.FindMac("00:1A:2B:3C:4D:5E"), 0);
}

TEST_F(CredentialLogTest, SaveWritesEveryValidEntryAfterAnInvalidOne) {
    ASSERT_TRUE(log.LoadLog());
    const std::vector<CredentialEntry> entries{
        {"AA:00:00:00:00:01", "a", "1"},
        {"AA:00:00:00:00:02", "b", ""},  // empty password
        {"AA:00:00:00:00:03", "c", "3"},
        {"AA:00:00:00:00:04", std::string(255, 'x') + "y", "4"},  // 256: more than a request carries
        {"AA:00:00:00:00:05", "tab\there", "5"},
        {"AA:00:00:00:00:06", "f", "6"}};
    for (const auto& e : entries) {
        ASSERT_TRUE(log.AppendEntry());
        ASSERT_TRUE(log.StoreEntry(e.mac, e.id, e.password, -1));
    }
    const StepResult saved = log.SaveLog();
    ASSERT_TRUE(saved);
    EXPECT_EQ(test::reportTexts(saved), std::vector<std::string>{"Wrong data type!!"});
    EXPECT_EQ(saved.reports[0].caption, "Error");

    CredentialLog again(path);
    ASSERT_TRUE(again.LoadLog());
    ASSERT_EQ(again.count(), 3);
    EXPECT_EQ(again.entry(0).mac, "AA:00:00:00:00:01");
    EXPECT_EQ(again.entry(1).mac, "AA:00:00:00:00:03");
    EXPECT_EQ(again.entry(2).mac, "AA:00:00:00:00:06");
}

TEST_F(CredentialLogTest, SelectAndAppendGuardTheTable) {
    writeLog(path, "\n[1]\nMAC : A \nID : i \nPassword : p \n");
    ASSERT_TRUE(log.LoadLog());
    EXPECT_TRUE(log.SelectEntry(1));  // the free entry after the last
    EXPECT_TRUE(log.SelectEntry(0));
    for (int bad : {2, -1, 5000}) {
        const StepResult refused = log.SelectEntry(bad);
        EXPECT_FALSE(refused);
        ASSERT_EQ(refused.reports.size(), 1u);
        EXPECT_EQ(refused.reports[0].caption, "Fatal Error");
        EXPECT_EQ(refused.reports[0].text, "Out of range of the database !");
        EXPECT_EQ(log.currentIndex(), 0);
    }
    EXPECT_FALSE(log.StoreEntry("B", "i", "p", 7));
    EXPECT_EQ(log.entry(0).mac, "A");

    // No table of 5000: a site of 100,000 devices is kept, found by MAC, and one more is taken.
    std::string full;
    for (int i = 0; i < 100000; ++i) full += CredentialLog::formatEntry(i + 1, {"M" + std::to_string(i), "i", "p"});
    writeLog(path, full);
    ASSERT_TRUE(quietSuccess(log.LoadLog()));
    EXPECT_EQ(log.count(), 100000);
    EXPECT_EQ(log.FindMac("M99999"), 99999);
    EXPECT_TRUE(quietSuccess(log.AppendEntry()) && quietSuccess(log.StoreEntry("NEW", "i", "p", -1)));
    EXPECT_EQ(log.FindMac("NEW"), 100000);
}

TEST_F(CredentialLogTest, EntriesItCannotTakeStayInTheFile) {
    const std::string good = CredentialLog::formatEntry(1, {"AA", "id", "pw"});
    const std::string longToken = CredentialLog::formatEntry(2, {"BB", std::string(256, 'x'), "pw"});
    const std::string later = CredentialLog::formatEntry(3, {"CC", "id3", "pw3"});
    writeLog(path, good + longToken + later);
    const StepResult partly = log.LoadLog();
    ASSERT_TRUE(partly);
    EXPECT_EQ(log.count(), 1);
    ASSERT_EQ(partly.reports.size(), 1u);
    EXPECT_EQ(partly.reports[0].icon, MessageIcon::Warning);
    EXPECT_NE(partly.reports[0].text.find("the entry at line 7 holds a text longer than 255 characters"),
              std::string::npos);

    ASSERT_TRUE(log.AppendEntry());
    ASSERT_TRUE(log.StoreEntry("DD", "new", "one", -1));
    ASSERT_TRUE(log.SaveLog());
    const std::string saved = readFile(path);
    EXPECT_NE(saved.find(std::string(256, 'x')), std::string::npos);
    EXPECT_NE(saved.find("MAC : CC "), std::string::npos);
    CredentialLog again(path);
    ASSERT_TRUE(again.LoadLog());
    EXPECT_EQ(again.FindMac("DD"), 1);  // new entries are written before the kept part

    // A damaged entry (its ID line is missing) is kept the same way.
    writeLog(path, good + "\n[2]\nMAC : EE \nPassword : x \n" + later);
    const StepResult damaged = log.LoadLog();
    ASSERT_TRUE(damaged);
    EXPECT_EQ(log.count(), 1);
    ASSERT_EQ(damaged.reports.size(), 1u);
    EXPECT_NE(damaged.reports[0].text.find("the entry at line 7 is damaged"), std::string::npos);
    ASSERT_TRUE(log.SaveLog());
    EXPECT_NE(readFile(path).find("MAC : CC "), std::string::npos);
}

// The log keeps what it reads in the file's own text, each ID and password decoded where it stood:
// the texts, the first entry of a repeated MAC, the line of a later fault and the part kept unread all
// come out as the file says, and stay so as entries change and the index grows.
TEST_F(CredentialLogTest, EntriesReadInPlaceComeOutAsTheFileSays) {
    const std::string blanks(255, ' ');
    const std::string damaged = "\n[5]\nMAC : EE \nID : " + std::string(28, 'x') + "-/space/-" + std::string(227, 'y') +
                                " \nPassword : p \n[6]\nMAC : FF \nID : i \nPassword : p \n";
    writeLog(path, CredentialLog::formatEntry(1, {"AA", "-/space/-a-/space/--/space/-", "p-/space/-w"}) +
                       CredentialLog::formatEntry(2, {"BB", "-/space//space/-", "x"}) +
                       CredentialLog::formatEntry(3, {"AA", "second", "pw"}) +
                       CredentialLog::formatEntry(4, {"DD", "id", replaceAll(blanks, " ", "-/space/-")}) + damaged);
    const StepResult read = log.LoadLog();
    ASSERT_EQ(test::reportTexts(read),
              std::vector<std::string>{path + ": the entry at line 22 holds a text longer than 255 characters. The "
                                              "entries from there on are not used, but they stay in the file."});
    ASSERT_EQ(log.count(), 4);
    EXPECT_EQ(log.entry(0).id, " a  ");
    EXPECT_EQ(log.entry(0).password, "p w");
    EXPECT_EQ(log.entry(1).id, "-/space//space/-");  // the halves of two codes make none
    EXPECT_EQ(log.entry(3).password, blanks);
    EXPECT_EQ(log.FindMac("AA"), 0);
    EXPECT_EQ(log.FindMac("EE"), -1);

    // AA's first entry becomes CC: the second AA entry is found from then on; thousands of new ones grow the index.
    ASSERT_TRUE(log.StoreEntry("CC", "c", "c", 0));
    EXPECT_EQ(log.FindMac("AA"), 2);
    EXPECT_EQ(log.FindMac("CC"), 0);
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(log.AppendEntry() && log.StoreEntry("N" + std::to_string(i), "id", "pw", -1));
    EXPECT_EQ(log.FindMac("N2999"), 3003);
    ASSERT_TRUE(log.StoreEntry("AA", "third", "pw", 4));  // a later entry of AA: the first stays first
    EXPECT_EQ(log.FindMac("AA"), 2);
    EXPECT_EQ(log.entry(2).id, "second");
    ASSERT_TRUE(log.SaveLog());
    const std::string saved = readFile(path);
    EXPECT_EQ(saved.substr(saved.size() - damaged.size()), damaged);  // the unread part, byte for byte
    CredentialLog again(path);
    ASSERT_FALSE(quietSuccess(again.LoadLog()));
    EXPECT_EQ(again.count(), 3004);
    EXPECT_EQ(again.entry(0).mac, "CC");
    EXPECT_EQ(again.entry(1).id, "-/space//space/-");
    EXPECT_EQ(again.entry(3).password, blanks);
    EXPECT_EQ(again.FindMac("N0"), -1);
    EXPECT_EQ(again.FindMac("N1"), 5);
    EXPECT_EQ(again.FindMac("AA"), 2);
    EXPECT_EQ(again.entry(4).id, "third");
}

TEST_F(CredentialLogTest, ManagementFlowsNeverOverwriteAnotherDevice) {
    writeLog(path, CredentialLog::formatEntry(1, {"AA", "known", "old"}));
    // The plain calls after selecting AA would write BB into AA's entry; the flows append.
    ASSERT_TRUE(log.LoadLog());
    ASSERT_TRUE(log.SelectEntry(log.FindMac("AA")));
    ASSERT_TRUE(log.storeAll({{"BB", {"typed", "pw"}}}));
    ASSERT_TRUE(log.LoadLog());
    EXPECT_EQ(log.entry(0).mac, "AA");
    EXPECT_EQ(log.entry(0).password, "old");
    // A known device's entry takes the new texts, a new one is added; the file is written once.
    ASSERT_TRUE(quietSuccess(
        log.storeAll({{"AA", {"known", "new pw"}}, {"BB", {"typed", "changed"}}, {"ZZ", {"nobody", "x"}}})));
    ASSERT_TRUE(log.LoadLog());
    ASSERT_EQ(log.count(), 3);
    EXPECT_EQ(log.entry(0).password, "new pw");
    EXPECT_EQ(log.entry(1).id, "typed");
    EXPECT_EQ(log.entry(1).password, "changed");
    EXPECT_EQ(log.FindMac("ZZ"), 2);

    ASSERT_TRUE(log.ClearLog());
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(modeOf(path), 0600u);
    ASSERT_TRUE(log.LoadLog());
    EXPECT_EQ(log.FindMac("AA"), -1);
}

// Everything the password dialog takes (255 characters, blanks too) is logged and read back whole.
TEST_F(CredentialLogTest, TheLongestCredentialsARequestCarriesAreKept) {
    std::string id(255, 'i');
    std::string password(255, ' ');
    for (std::size_t i = 0; i < password.size(); i += 2) password[i] = 'p';
    writeLog(path, CredentialLog::formatEntry(1, {"AA", "good", "pw"}));
    ASSERT_TRUE(quietSuccess(log.storeAll({{"BB", {id, password}}})));
    CredentialLog again(path);
    ASSERT_TRUE(again.LoadLog());
    ASSERT_EQ(again.count(), 2);
    EXPECT_EQ(again.entry(1).id, id);
    EXPECT_EQ(again.entry(1).password, password);
    EXPECT_EQ(again.entry(0).password, "pw");
}

TEST_F(CredentialLogTest, AFailedSaveLeavesTheFileWhole) {
    writeLog(path, CredentialLog::formatEntry(1, {"AA", "id", "pw"}));
    const std::string before = readFile(path);
    ASSERT_TRUE(log.LoadLog());
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(log.AppendEntry());
        ASSERT_TRUE(log.StoreEntry("BB:" + std::to_string(i), "id", "pw", -1));
    }
    {
        test::FileSizeLimit limit(64);  // the new content breaks off after 64 bytes
        const StepResult failed = log.SaveLog();
        EXPECT_FALSE(failed);
        ASSERT_EQ(failed.reports.size(), 1u);
        EXPECT_NE(failed.reports[0].text.find("Can't save the ID/password log!"), std::string::npos);
    }
    EXPECT_EQ(readFile(path), before);
    // A log whose path is a folder cannot be written, not even by root.
    const std::string folder = path + ".d";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    CredentialLog blocked(folder);
    const StepResult notCleared = blocked.ClearLog();
    EXPECT_FALSE(notCleared);
    ASSERT_EQ(notCleared.reports.size(), 1u);
    EXPECT_EQ(notCleared.reports[0].text.rfind("Can't clear the ID/password log!", 0), 0u);
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(readFile(path), before);
}

}  // namespace
}  // namespace tarn
