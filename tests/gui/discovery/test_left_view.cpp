// Discovery replies with bad checksums reaching the left view: one "Checksum Error!" box at a time;
// replies that come while it is open are listed and counted for the status bar.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QSignalSpy>
#include <QUdpSocket>

#include "core/common/prompter.h"
#include "core/discovery/checksum_notice.h"
#include "core/discovery/probe_reply.h"
#include "gui/common/frame_state.h"
#include "gui/discovery/left_view.h"
#include "link/discovery/device_socket.h"
#include "support/received_datagrams.h"
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

// Holds the notice open until the test closes it, so that what the test sends meanwhile is read
// while the box is up.
class NoticePrompter : public Prompter {
public:
    int shown = 0, open = 0, maxOpen = 0;
    std::function<void()> close;
    void showMessage(const std::string&, const std::string&, MessageIcon) override { ADD_FAILURE(); }
    void showNotice(const std::string& caption, const std::string& text, MessageIcon,
                    std::function<void()> closed) override {
        EXPECT_EQ(caption, "Error");
        EXPECT_EQ(text, "Checksum Error!");
        ++shown;
        maxOpen = std::max(maxOpen, ++open);
        close = [this, closed] {
            --open;
            closed();
        };
    }
    void askYesNo(const std::string&, const std::string&, Answer<bool> answer) override { answer(false); }
    void confirm(const ConfirmText&, Answer<bool> answer) override { answer(false); }
    void askCredentials(const CredentialsQuestion&, Answer<std::optional<CredentialsAnswer>> answer) override {
        answer(std::nullopt);
    }
};

}  // namespace

TEST(LeftView, OneChecksumBoxAtATimeAndTheRepliesWhileItIsOpenAreCounted) {
    test::ReceivedDatagrams received;
    FrameState frame;
    NoticePrompter prompter;
    CLeftView view(frame, prompter);
    QSignalSpy status(&view, &CLeftView::statusText);
    QUdpSocket device;
    const quint16 port = view.socket()->localPort();
    device.writeDatagram(badReply(1, "Pump-A"), QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitUntil([&] { return prompter.shown == 1; }));
    device.writeDatagram(badReply(1, "Pump-A"), QHostAddress::LocalHost, port);  // the same device again
    device.writeDatagram(badReply(2, "Pump-B"), QHostAddress::LocalHost, port);
    device.writeDatagram(badReply(3, "Pump-C"), QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitUntil([&] { return received.count() == 4; }));
    prompter.close();
    DeviceTree* tree = view.tree();
    ASSERT_EQ(tree->deviceCount(), 3);
    EXPECT_EQ(tree->entry(0).name, "Pump-A");
    EXPECT_EQ(tree->entry(1).name, "Pump-B");
    EXPECT_EQ(tree->entry(2).name, "Pump-C");
    ASSERT_EQ(status.size(), 2);
    EXPECT_EQ(status[1][0].toString(),
              QStringLiteral("Checksum Error! in 2 more replies while the message was open (listed all the same)"));

    // Closed, the box opens again for the next bad reply.
    device.writeDatagram(badReply(4, "Pump-D"), QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitUntil([&] { return prompter.shown == 2; }));
    EXPECT_EQ(tree->deviceCount(), 4);
    EXPECT_EQ(prompter.maxOpen, 1);  // never one box on top of another
    EXPECT_EQ(status.size(), 2);
}

TEST(ChecksumNotice, CountsWhileOpenAndStartsAgainAfterClosing) {
    ChecksumNotice notice;
    EXPECT_TRUE(notice.onBadReply());
    EXPECT_FALSE(notice.onBadReply());
    EXPECT_FALSE(notice.onBadReply());
    EXPECT_EQ(notice.countedWhileOpen(), 2);
    notice.onClosed();
    EXPECT_FALSE(notice.open());
    EXPECT_TRUE(notice.onBadReply());
    EXPECT_EQ(notice.countedWhileOpen(), 0);
    EXPECT_EQ(checksumNoticeStatus(1),
              "Checksum Error! in 1 more reply while the message was open (listed all the same)");
}
