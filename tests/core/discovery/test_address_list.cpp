// The address lists of Quick Connect and `tarnctl probe --address`: what each form expands to, and
// the texts that are refused.
#include <gtest/gtest.h>

#include "core/discovery/address_list.h"
#include "core/discovery/addressing.h"

using namespace tarn;

namespace {

std::vector<std::string> expand(const std::string& text, std::size_t max = kMaxListedAddresses) {
    const AddressList list = parseAddressList(text, max);
    if (!list.ok()) return {"error: " + list.error};
    std::vector<std::string> out;
    for (std::uint32_t a : list.addresses) out.push_back(formatIPv4(a));
    return out;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(AddressList, FormsExpandInTheOrderTypedEachAddressOnce) {
    EXPECT_EQ(expand("10.1.2.3"), Texts{"10.1.2.3"});
    EXPECT_EQ(expand("10.1.2.3, 10.1.2.1;10.1.2.3\n10.1.2.2"), (Texts{"10.1.2.3", "10.1.2.1", "10.1.2.2"}));
    EXPECT_EQ(expand("10.1.2.254-10.1.3.1"), (Texts{"10.1.2.254", "10.1.2.255", "10.1.3.0", "10.1.3.1"}));
    EXPECT_EQ(expand("10.1.2.10-12"), (Texts{"10.1.2.10", "10.1.2.11", "10.1.2.12"}));
    // A block leaves out its network and broadcast addresses; /31 and /32 have none.
    EXPECT_EQ(expand("127.0.4.0/29"),
              (Texts{"127.0.4.1", "127.0.4.2", "127.0.4.3", "127.0.4.4", "127.0.4.5", "127.0.4.6"}));
    EXPECT_EQ(expand("127.0.4.5/30"), (Texts{"127.0.4.5", "127.0.4.6"}));
    EXPECT_EQ(expand("127.0.4.7/31"), (Texts{"127.0.4.6", "127.0.4.7"}));
    EXPECT_EQ(expand("127.0.4.7/32"), (Texts{"127.0.4.7"}));
    EXPECT_EQ(parseAddressList("10.1.0.0/16").addresses.size(), 65534u);
}

TEST(AddressList, BadTextsAndOversizedListsAreRefusedWhole) {
    EXPECT_EQ(expand("10.1.2"), Texts{"error: '10.1.2' is not a dotted IPv4 address"});
    EXPECT_EQ(expand("10.1.2.3, pump"), Texts{"error: 'pump' is not a dotted IPv4 address"});
    EXPECT_EQ(expand("10.1.2.50-10.1.2.10"),
              Texts{"error: '10.1.2.50-10.1.2.10' is not an address range such as 10.1.2.10-10.1.2.50"});
    EXPECT_EQ(expand("10.1.2.10-300"),
              Texts{"error: '10.1.2.10-300' is not an address range such as 10.1.2.10-10.1.2.50"});
    for (const char* block : {"10.1.2.0/33", "10.1.2.0/", "10.1.2.0/x", "10.1.2/24", "10.1.2.0/024"})
        EXPECT_EQ(expand(block),
                  Texts{std::string("error: '") + block + "' is not an address block such as 10.1.2.0/24"});
    EXPECT_EQ(expand(""), Texts{"error: no address"});
    EXPECT_EQ(expand(" , "), Texts{"error: no address"});
    EXPECT_EQ(expand("10.0.0.0/8"), Texts{"error: more than 65536 addresses"});
    EXPECT_EQ(expand("10.0.0.1-10.0.0.3, 10.0.1.1-10.0.1.3", 5), Texts{"error: more than 5 addresses"});
    EXPECT_EQ(expand("10.0.0.1-10.0.0.3, 10.0.0.1-10.0.0.3", 3).size(), 3u);  // repeats cost nothing
}

TEST(AddressList, ASweepHandsOutEveryAddressOnceInBatches) {
    std::vector<std::uint32_t> all(ProbeSweep::kBatch * 2 + 3), seen;
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint32_t>(i);
    ProbeSweep sweep(all);
    for (std::size_t size : {ProbeSweep::kBatch, ProbeSweep::kBatch, std::size_t{3}, std::size_t{0}}) {
        const auto batch = sweep.nextBatch();
        EXPECT_EQ(batch.size(), size);
        seen.insert(seen.end(), batch.begin(), batch.end());
    }
    EXPECT_TRUE(sweep.done());
    EXPECT_EQ(seen, all);
}
