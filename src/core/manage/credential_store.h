// pwd.ini as the operations of a session see it, or the sessions of a fleet run that share it: read
// when needed (again only when the file changed), and written once with everything the devices
// accepted since the last write, so that a first backup of 10,000 devices writes it a few times, not
// 10,000 (and not 10,000 growing copies).
//
// What could not be written stays in memory and keeps being used; the failure is remembered, so that
// it is reported as what it is: the devices have credentials that the log does not.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/common/file_io.h"
#include "core/common/prompter.h"
#include "core/manage/credential_log.h"

namespace tarn {

class CredentialStore {
public:
    explicit CredentialStore(std::string path) : path_(std::move(path)) {}

    // The device's ID and password: accepted and not yet written, or from the log; nothing when
    // neither knows the MAC (upper case). Messages about a damaged log go to the prompter.
    std::optional<Credentials> find(const std::string& mac, Prompter& prompter);
    // The device has these credentials now; written by the next save() unless the log holds them.
    void remember(const std::string& mac, const Credentials& credentials, Prompter& prompter);
    // One read-modify-write of pwd.ini with everything remembered. False when it could not be written.
    bool save(Prompter& prompter);
    bool writeFailed() const { return writeFailed_; }
    bool pending() const { return !unsaved_.empty(); }
    // Clear: the file and everything remembered are emptied.
    bool clear(Prompter& prompter);

    const std::string& path() const { return path_; }

private:
    void load(Prompter& prompter);
    std::optional<Credentials> logged(const std::string& mac) const;

    std::string path_;
    std::optional<FileStamp> loaded_;   // the file as last read
    std::optional<CredentialLog> log_;  // as read then: a large site's log is held once, as its entries
    std::map<std::string, Credentials> unsaved_;
    bool writeFailed_ = false;
};

}  // namespace tarn
