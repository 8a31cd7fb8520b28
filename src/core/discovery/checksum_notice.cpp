#include "core/discovery/checksum_notice.h"

namespace tarn {

bool ChecksumNotice::onBadReply() {
    if (open_) {
        ++counted_;
        return false;
    }
    open_ = true;
    counted_ = 0;
    return true;
}

std::string checksumNoticeStatus(int counted) {
    return "Checksum Error! in " + std::to_string(counted) + (counted == 1 ? " more reply" : " more replies") +
           " while the message was open (listed all the same)";
}

}  // namespace tarn
