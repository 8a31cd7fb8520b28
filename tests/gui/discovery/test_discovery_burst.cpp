// A fleet's answers on a busy machine: every one of 20,000 probe replies is listed while two
// threads keep both cores busy, three probes in a row. The replies come from another thread as a
// large fleet sends them, 25 a millisecond, which the window reads at once, so nothing overflows
// the kernel's receive buffer: a reply missing from the tree was lost by the program. The window
// is preempted in the middle of its slices, and the stream goes on meanwhile: that is when a
// socket that was read outside its readyRead handler fell silent for good. Meanwhile the kernel
// holds the replies: the test needs the whole receive buffer the socket asks for, and says so when
// the system gives less. It keeps both cores busy, so CTest runs it alone (RUN_SERIAL).
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QDeadlineTimer>

#include "core/common/silent_prompter.h"
#include "core/discovery/probe_reply.h"
#include "gui/common/frame_state.h"
#include "gui/discovery/left_view.h"
#include "link/discovery/device_socket.h"
#include "support/wait.h"

using namespace tarn;

namespace {

constexpr int kReplies = 20000;
constexpr int kProbes = 3;
constexpr std::size_t kPerMs = 25;
// What handling one reply costs the window besides the tree itself.
constexpr auto kHandlingCost = std::chrono::microseconds(35);

std::vector<Bytes> fleetReplies() {
    std::vector<Bytes> out;
    out.reserve(kReplies);
    for (int i = 0; i < kReplies; ++i) {
        ProbeReplyContent c;
        c.mac = {0x02,
                 0x42,
                 0,
                 static_cast<std::uint8_t>(i >> 16),
                 static_cast<std::uint8_t>(i >> 8),
                 static_cast<std::uint8_t>(i)};
        c.name = "Dev-" + std::to_string(i);
        out.push_back(buildProbeReply(c));
    }
    return out;
}

// Two threads that spin until destroyed: the machine is as busy as a build next door makes it.
class BusyCores {
public:
    BusyCores() {
        for (int i = 0; i < 2; ++i)
            threads_.emplace_back([this] {
                volatile unsigned long x = 0;
                while (!stop_.load(std::memory_order_relaxed)) x = x + 1;
            });
    }
    ~BusyCores() {
        stop_ = true;
        for (auto& t : threads_) t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

}  // namespace

TEST(DiscoveryBurst, EveryReplyIsListedWhileBothCoresAreBusy) {
    FrameState frame;
    SilentPrompter prompter;
    CLeftView view(frame, prompter);
    const quint16 port = view.socket()->localPort();
    ASSERT_NE(port, 0);
    const int buffer = view.socket()->receiveBufferBytes();
    if (buffer < CDeviceSocket::kReceiveBufferBytes)
        GTEST_SKIP() << "the system gives the probe socket a receive buffer of " << buffer << " bytes; this test needs "
                     << CDeviceSocket::kReceiveBufferBytes
                     << " (run it as root, or raise net.core.rmem_max: sysctl -w net.core.rmem_max=4194304)";

    // What the window handles besides the tree itself costs it a little time per reply.
    QObject::connect(view.socket(), &CDeviceSocket::socketReceive, [] {
        const auto until = std::chrono::steady_clock::now() + kHandlingCost;
        while (std::chrono::steady_clock::now() < until) {
        }
    });

    const std::vector<Bytes> replies = fleetReplies();
    BusyCores busy;
    DeviceTree* tree = view.tree();
    // Each probe of a fleet is a new chance for the socket to fall silent with a notification lost.
    for (int probe = 0; probe < kProbes; ++probe) {
        SCOPED_TRACE(probe);
        tree->deleteAllItems();
        std::atomic<bool> stopSending{false};
        std::thread sender([&] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            // As a large fleet answers a probe: a steady stream of kPerMs replies a millisecond.
            auto next = std::chrono::steady_clock::now();
            for (std::size_t i = 0; i < replies.size() && !stopSending; ++i) {
                if (i % kPerMs == 0) {
                    next += std::chrono::milliseconds(1);
                    std::this_thread::sleep_until(next);
                }
                ::sendto(fd, replies[i].data(), replies[i].size(), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to);
            }
            ::close(fd);
        });
        // Bounded: the whole fleet, or no progress for five seconds (the socket stopped reading).
        int last = -1;
        QDeadlineTimer stalled(5000);
        tarn::test::waitUntil(
            [&] {
                const int n = tree->deviceCount();
                if (n != last) {
                    last = n;
                    stalled.setRemainingTime(5000);
                }
                return n == kReplies || stalled.hasExpired();
            },
            60000);
        stopSending = true;
        sender.join();
        ASSERT_EQ(tree->deviceCount(), kReplies);
        EXPECT_EQ(tree->entry(0).name, "Dev-0");
        EXPECT_EQ(tree->entry(kReplies - 1).name, "Dev-19999");
        EXPECT_EQ(tree->entry(kReplies - 1).mac, "02:42:00:00:4E:1F");
    }
}
