// Discovery replies reaching the left view while a "Checksum Error!" box is open.
#include <QEventLoop>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include "core/common/prompter.h"
#include "core/discovery/probe_reply.h"
#include "gui/app/frame_state.h"
#include "gui/discovery/left_view.h"
#include "link/discovery/device_socket.h"
#include "support/wait.h"

using namespace tarn;
using tarn::test::waitUntil;

namespace {

QByteArray badReply(std::uint8_t lastMacByte, const std::string& name) {
    ProbeReplyContent c;
    c.mac = {0x02, 0, 0, 0, 0, lastMacByte};
    c.name = name;
    c.corruptChecksum = true;
    return QByteArray::fromStdString(asText(buildProbeReply(c)));
}

// Behaves like a modal message box: the event loop keeps running while it is "open".
class ModalPrompter : public Prompter {
public:
    std::function<void()> whileOpen;
    int shown = 0, depth = 0, maxDepth = 0;
    void showMessage(const std::string& caption, const std::string& text, MessageIcon) override {
        EXPECT_EQ(caption, "Error");
        EXPECT_EQ(text, "Checksum Error!");
        ++shown;
        maxDepth = std::max(maxDepth, ++depth);
        if (whileOpen) std::exchange(whileOpen, nullptr)();
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        loop.exec();
        --depth;
    }
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    bool confirm(const ConfirmText&) override { return false; }
    std::optional<Credentials> askCredentials(const std::string&) override { return std::nullopt; }
};

}  // namespace

TEST(LeftView, RepliesArrivingWhileTheChecksumBoxIsOpenAreListedOnceAndReportedInTurn) {
    FrameState frame;
    ModalPrompter prompter;
    CLeftView view(frame, prompter);
    QUdpSocket device;
    const quint16 port = view.socket()->localPort();
    prompter.whileOpen = [&] {
        device.writeDatagram(badReply(1, "Pump-A"), QHostAddress::LocalHost, port);  // the same device again
        device.writeDatagram(badReply(2, "Pump-B"), QHostAddress::LocalHost, port);
    };
    device.writeDatagram(badReply(1, "Pump-A"), QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitUntil([&] { return prompter.shown == 2 && prompter.depth == 0; }));
    waitUntil([] { return false; }, 300);
    DeviceTree* tree = view.tree();
    ASSERT_EQ(tree->deviceCount(), 2);
    EXPECT_EQ(tree->entry(0).name, "Pump-A");
    EXPECT_EQ(tree->entry(1).name, "Pump-B");
    EXPECT_EQ(prompter.shown, 2);
    EXPECT_EQ(prompter.maxDepth, 1);  // never one box on top of another
}
