#include "comm/DeviceAccess.h"

#include <cstdint>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace corvanetov {

namespace {
// The group that may open serial ports where no device says more.
constexpr char kSerialGroup[] = "dialout";
constexpr mode_t kReadWrite = 06;
constexpr char kAclName[] = "system.posix_acl_access";
constexpr size_t kAclHeader = 4;
constexpr size_t kAclEntry = 8;
enum AclTag : uint16_t { kAclUser = 0x02, kAclGroup = 0x08, kAclMask = 0x10 };

constexpr size_t kAccountBuffer = 4096;

gid_t SerialGroup()
{
    group entry {};
    group* serial = nullptr;
    char buffer[kAccountBuffer];
    return ::getgrnam_r(kSerialGroup, &entry, buffer, sizeof buffer, &serial) == 0 && serial ? serial->gr_gid
                                                                                           : static_cast<gid_t>(-1);
}

bool InGroup(uid_t user, gid_t group)
{
    passwd entry {};
    passwd* account = nullptr;
    char buffer[kAccountBuffer];
    if (::getpwuid_r(user, &entry, buffer, sizeof buffer, &account) != 0 || !account)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(account->pw_name, account->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        ::getgrouplist(account->pw_name, account->pw_gid, groups.data(), &count);
    }
    groups.resize(static_cast<size_t>(count));
    for (gid_t member : groups)
        if (member == group)
            return true;
    return false;
}

bool GrantsReadWrite(mode_t bits)
{
    return (bits & kReadWrite) == kReadWrite;
}

uint16_t AclWord(const std::string& bytes, size_t at)
{
    uint16_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    return word;
}

uint32_t AclId(const std::string& bytes, size_t at)
{
    uint32_t id = 0;
    std::memcpy(&id, bytes.data() + at, sizeof id);
    return id;
}
} // namespace

DeviceAccess DeviceAccess::Anyone()
{
    DeviceAccess access;
    access.m_anyone = true;
    return access;
}

DeviceAccess::DeviceAccess(const std::string& device)
{
    m_known = !device.empty() && ::stat(device.c_str(), &m_device) == 0;
    if (!m_known)
        return;
    char acl[512];
    const ssize_t size = ::getxattr(device.c_str(), kAclName, acl, sizeof acl);
    if (size > 0)
        m_acl.assign(acl, static_cast<size_t>(size));
}

bool DeviceAccess::Allows(uid_t user) const
{
    if (m_anyone || user == 0 || user == ::geteuid())
        return true;
    if (!m_known)
        return InGroup(user, SerialGroup());
    const mode_t mode = m_device.st_mode;
    if (user == m_device.st_uid)
        return GrantsReadWrite(mode >> 6);
    return (GrantsReadWrite(mode >> 3) && InGroup(user, m_device.st_gid)) || GrantsReadWrite(mode) || AclAllows(user);
}

// The entries of the user and of each group of theirs, within the mask.
bool DeviceAccess::AclAllows(uid_t user) const
{
    uint16_t mask = kReadWrite;
    bool entry = false;
    for (size_t at = kAclHeader; at + kAclEntry <= m_acl.size(); at += kAclEntry) {
        const uint16_t tag = AclWord(m_acl, at);
        const uint16_t perm = AclWord(m_acl, at + 2);
        const uint32_t id = AclId(m_acl, at + 4);
        if (tag == kAclMask)
            mask = perm;
        else if (GrantsReadWrite(perm) && ((tag == kAclUser && id == user) || (tag == kAclGroup && InGroup(user, id))))
            entry = true;
    }
    return entry && GrantsReadWrite(mask);
}

gid_t DeviceAccess::ReadersGroup() const
{
    if (m_anyone)
        return static_cast<gid_t>(-1);
    return m_known ? m_device.st_gid : SerialGroup();
}

mode_t DeviceAccess::ReadersMode(gid_t fileGroup) const
{
    if (m_anyone)
        return 0644;
    const mode_t mode = m_device.st_mode;
    const bool groupReads = fileGroup != static_cast<gid_t>(-1) && fileGroup == ReadersGroup() && (!m_known || GrantsReadWrite(mode >> 3));
    const bool othersRead = m_known && GrantsReadWrite(mode);
    return 0600 | (groupReads ? 0040 : 0) | (othersRead ? 0004 : 0);
}

} // namespace corvanetov
