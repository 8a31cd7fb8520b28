// Keeps late callbacks away from an object that is gone: the owner holds a Liveness, and a callback
// wrapped by guard() does nothing once the owner (and so its Liveness) has been destroyed. Used for
// the answers of operator questions, which can come after the asker was closed.
#pragma once

#include <memory>
#include <utility>

namespace tarn {

class Liveness {
public:
    Liveness() = default;
    Liveness(const Liveness&) = delete;
    Liveness& operator=(const Liveness&) = delete;

    template <class F>
    auto guard(F fn) const {
        return [alive = std::weak_ptr<const char>(token_), fn = std::move(fn)](auto&&... args) mutable {
            if (alive.expired()) return;
            fn(std::forward<decltype(args)>(args)...);
        };
    }

private:
    std::shared_ptr<const char> token_ = std::make_shared<const char>('\0');
};

}  // namespace tarn
