// "Checksum Error!" one box at a time: the first reply with a bad checksum opens the box; replies
// with bad checksums that arrive while it is open are counted (and listed all the same) instead of
// each opening a box of its own, so a flood of junk never buries the window under boxes.
#pragma once

#include <string>

namespace tarn {

class ChecksumNotice {
public:
    // A reply with a bad checksum was listed. True: open the box now; false: it is open already
    // and the reply was counted.
    bool onBadReply();
    // The box was closed; the next bad reply opens it again.
    void onClosed() { open_ = false; }

    bool open() const { return open_; }
    // Bad replies counted while the box that is (or was last) open was open.
    int countedWhileOpen() const { return counted_; }

private:
    bool open_ = false;
    int counted_ = 0;
};

// The status bar's note of the replies counted while the box was open.
std::string checksumNoticeStatus(int counted);

}  // namespace tarn
