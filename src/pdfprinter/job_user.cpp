#include "pdfprinter/job_user.h"

#include "pdfprinter/file_io.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace marrowby {

std::optional<JobUser> lookUpJobUser(const std::string& name, std::string& error) {
    if (name.empty()) {
        error = "the job names no user";
        return std::nullopt;
    }
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    int rc = 0;
    while ((rc = ::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (rc != 0) {
        error = "cannot look up the user " + quoted(name) + ": " + std::strerror(rc);
        return std::nullopt;
    }
    if (!found) {
        error = "there is no local account named " + quoted(name);
        return std::nullopt;
    }
    if (found->pw_uid == 0) {
        error = "jobs of the root account " + quoted(name) + " are never written";
        return std::nullopt;
    }
    JobUser user{found->pw_name, found->pw_uid, found->pw_gid, found->pw_dir ? found->pw_dir : ""};
    if (user.home.empty() || user.home.front() != '/') {
        error = "the account " + quoted(name) + " has no usable home folder";
        return std::nullopt;
    }
    return user;
}

bool becomeJobUser(const JobUser& user, std::string& error) {
    uid_t ruid = 0, euid = 0, suid = 0;
    ::getresuid(&ruid, &euid, &suid);
    if (euid != 0) {
        if (ruid == user.uid && euid == user.uid && suid == user.uid) return true;
        error = "the backend runs neither as root nor as " + quoted(user.name) +
                "; install it owned by root with mode 0700";
        return false;
    }
    if (::initgroups(user.name.c_str(), user.gid) != 0) {
        error = std::string("cannot take on the groups of ") + quoted(user.name) + ": " + std::strerror(errno);
        return false;
    }
    if (::setresgid(user.gid, user.gid, user.gid) != 0) {
        error = std::string("cannot take on the group id of ") + quoted(user.name) + ": " + std::strerror(errno);
        return false;
    }
    if (::setresuid(user.uid, user.uid, user.uid) != 0) {
        error = std::string("cannot take on the user id of ") + quoted(user.name) + ": " + std::strerror(errno);
        return false;
    }
    // From here on root must be out of reach; if any of these succeeds the
    // process stops without touching anything.
    bool regained = ::setuid(0) == 0 || ::seteuid(0) == 0;
    if (user.gid != 0) regained = regained || ::setgid(0) == 0 || ::setegid(0) == 0;
    gid_t rgid = 0, egid = 0, sgid = 0;
    ::getresuid(&ruid, &euid, &suid);
    ::getresgid(&rgid, &egid, &sgid);
    const bool exact = ruid == user.uid && euid == user.uid && suid == user.uid &&
                       rgid == user.gid && egid == user.gid && sgid == user.gid;
    if (regained || !exact) {
        error = "the rights of root could not be dropped for good";
        return false;
    }
    return true;
}

}  // namespace marrowby
