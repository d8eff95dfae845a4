#pragma once

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace corvanetov {

// Who may open a handset's device for reading and writing: its owner,
// group and mode, and its access list (udev's "uaccess" gives the user at
// the seat an entry there). A handset's claim counts only where its holder
// is such a user, so that someone who may not use the handset can neither
// hold it nor speak for its holder.
class DeviceAccess {
public:
    // A network link: anyone may open one.
    static DeviceAccess Anyone();
    // device as the kernel names it; empty or gone (the handset restarting)
    // leaves root, the caller and the serial-port group.
    explicit DeviceAccess(const std::string& device);

    bool Allows(uid_t user) const;
    // The group and mode of a claim file of the caller's, so that those who
    // may open the device may read it and nobody else may open it at all.
    gid_t ReadersGroup() const;
    mode_t ReadersMode(gid_t fileGroup) const;

private:
    DeviceAccess() = default;
    bool AclAllows(uid_t user) const;

    bool m_anyone = false;
    bool m_known = false;
    struct stat m_device {};
    std::string m_acl;
};

} // namespace corvanetov
