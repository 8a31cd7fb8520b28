// A process that holds device credentials (the window, tarnctl) leaves no copy of its memory behind:
// no core file, no ptrace or /proc/PID/mem access by other processes of the same user, as ssh-agent does.
#pragma once

namespace tarn {

// Turns core dumps off (RLIMIT_CORE 0) and makes the process non-dumpable (PR_SET_DUMPABLE 0).
// False when the system refused either.
bool guardProcessSecrets();

}  // namespace tarn
