#include "link/common/secret_holder.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace tarn {

bool guardProcessSecrets() {
    const rlimit none{0, 0};
    const bool noCore = ::setrlimit(RLIMIT_CORE, &none) == 0;
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && noCore;
}

}  // namespace tarn
