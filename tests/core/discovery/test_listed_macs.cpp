// The duplicate index of discovery against the walk over the listed devices it replaces: on random
// fleets with repeats in any letter case, both give the same verdict for every reply, so the same
// devices are listed in the same order.
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "core/common/text.h"
#include "core/discovery/listed_macs.h"

using namespace tarn;

namespace {

std::string randomMac(std::mt19937& rng, int distinct) {
    // Few distinct values, so that repeats are common; hex letters in random case, and now and then
    // a byte outside ASCII, which no case rule may fold.
    const int value = std::uniform_int_distribution<int>(0, distinct - 1)(rng);
    char text[18];
    std::snprintf(text, sizeof text, "0A:%02X:%02X:BC:DE:F%X", value >> 8 & 0xFF, value & 0xFF, value % 16);
    std::string mac = text;
    for (char& c : mac)
        if (rng() % 2) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (rng() % 50 == 0) mac[2] = static_cast<char>(0xC4 + rng() % 2 * 0x20);  // Ä or ä in Latin-1
    if (rng() % 50 == 0) mac[15] = 'g' - static_cast<char>(rng() % 2 * 0x20);  // not hexadecimal
    if (rng() % 50 == 0) mac.pop_back();                                       // too short
    return mac;
}

}  // namespace

TEST(ListedMacs, GivesTheVerdictsOfTheWalkOnRandomFleets) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        const int distinct = 1 + static_cast<int>(rng() % 600);
        ListedMacs index;
        std::vector<std::string> walked;  // the tree's items, in order
        std::vector<std::string> indexed;
        for (int reply = 0; reply < 1500; ++reply) {
            const std::string mac = randomMac(rng, distinct);
            bool walkSaysListed = false;
            for (const std::string& listed : walked) walkSaysListed = walkSaysListed || equalsIgnoreCase(listed, mac);
            ASSERT_EQ(index.contains(mac), walkSaysListed) << "seed " << seed << ", reply " << reply << ": " << mac;
            if (!walkSaysListed) walked.push_back(mac);
            if (!index.contains(mac)) {
                indexed.push_back(mac);
                index.add(mac);
            }
        }
        EXPECT_EQ(indexed, walked) << "seed " << seed;
        EXPECT_EQ(index.size(), walked.size());
        index.clear();  // a new probe lists nothing
        EXPECT_FALSE(index.contains(walked.front()));
    }
}
