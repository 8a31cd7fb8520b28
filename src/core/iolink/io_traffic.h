// What the traffic log shows of an I/O frame: the request's command, or the reply's result.
//
//   sent      ReadStatus                 SwitchOutput  port 3 on        ReadMacroData  port 2
//   received  ReadStatus reply result 0  NAK                            bad checksum
//
// A reply does not say which command it answers ("02" answers four of them), so the decoder names
// it after the last request it saw on the same link.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// The command of a request payload, with its port and value where it has them.
std::string ioRequestSummary(std::string_view payload);

class IoTrafficDecoder {
public:
    std::string sent(std::string_view frame);
    std::string received(std::string_view frame);
    // A new link: no request is outstanding.
    void reset() { lastCommand_.clear(); }

private:
    std::string lastCommand_;
};

}  // namespace tarn
