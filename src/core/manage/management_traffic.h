// What the traffic log shows of a management datagram: a one-line summary and the bytes with every
// password masked.
//
//   sent      DiscoveryProbe  to 255.255.255.255
//   received  ProbeReply  Pump-1  02:00:00:00:00:01  product 74  version 1.0  from 127.0.0.2
//   sent      GetValues  rid 0x1234  to 127.0.0.11          (+ "  MAC ..." in the MAC-addressed form)
//   received  GetValuesReply  rid 0x1234  from 127.0.0.11   (+ "  bad checksum" when it does not add up)
//
// The request id is shown as its two bytes in wire order. Masked with '*': the password of the
// envelope (requests and the replies that echo it), every copy of that password inside the body
// (a whole-device values block holds the device's password among its values), and the value of
// the device's own password record in a set or values body.
#pragma once

#include <string>

#include "core/common/bytes.h"
#include "core/common/traffic_log.h"

namespace tarn {

// The tree's socket carries the probe and its replies; the view's socket the get, set and reboot
// requests and their replies. The same bytes mean different things on each.
enum class ManagementChannel { Discovery, Management };

std::string managementSummary(ByteView datagram, TrafficDirection direction, ManagementChannel channel,
                              const std::string& peerAddress);

// The datagram of a get, set or reboot request, or of a reply to one, with its passwords masked.
Bytes maskManagementPasswords(ByteView datagram);

}  // namespace tarn
