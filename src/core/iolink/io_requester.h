// What the monitor and the port dialogs need of the I/O command engine: a way to queue a built
// request and a look at the two state blocks. CCommProcess is the one implementation; core code
// and its tests drive the engine through this seam.
#pragma once

#include "core/iolink/io_commands.h"
#include "core/iolink/io_state.h"

namespace tarn {

class IoRequester {
public:
    virtual ~IoRequester() = default;
    // Queues a request built by IoRequests. Exactly one result follows, through the owner's result
    // handler; a refused request fails with result 0 without being sent.
    virtual bool QueueRequest(const IoRequest& request) = 0;
    virtual const IoConfig& config() const = 0;
    virtual const IoStatus& status() const = 0;
    // A request with this command index is queued or waits for its result.
    virtual bool isPending(int index) const = 0;
};

}  // namespace tarn
