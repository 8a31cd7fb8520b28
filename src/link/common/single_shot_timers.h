// The named single-shot timers a core state machine asks its host for (a session's NextDevice and
// ReplyWait, a job's Spacing): starting a running one restarts it; expiry calls `expired` with the name.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>

#include <QTimer>

namespace tarn {

template <class Name>
class SingleShotTimers {
public:
    SingleShotTimers(std::initializer_list<Name> names, std::function<void(Name)> expired) {
        for (Name name : names) {
            auto timer = std::make_unique<QTimer>();
            timer->setSingleShot(true);
            QObject::connect(timer.get(), &QTimer::timeout, [expired, name] { expired(name); });
            timers_[name] = std::move(timer);
        }
    }
    void start(Name name, int ms) { timers_.at(name)->start(ms); }
    void stop(Name name) { timers_.at(name)->stop(); }

private:
    std::map<Name, std::unique_ptr<QTimer>> timers_;
};

}  // namespace tarn
