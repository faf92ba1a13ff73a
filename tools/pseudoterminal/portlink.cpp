#include "portlink.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view PSEUDO_TERMINAL_DIRECTORY = "/dev/pts/";

std::optional<std::string> LinkTarget(const std::string &name)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(name.c_str(), target, sizeof target);
    if (length < 0 || static_cast<std::size_t>(length) == sizeof target)
        return std::nullopt;
    return std::string(target, static_cast<std::size_t>(length));
}

std::string Refusal(const std::string &name, const std::string &why)
{
    return name + " " + why + "; remove it or choose another name with --link";
}

} // namespace

CPortLink::CPortLink(std::string name, std::string target)
    : m_name(std::move(name))
    , m_target(std::move(target))
{
    // symlink() never replaces anything, so an entry that appears after the check below makes
    // it fail instead of being overwritten.
    if (IsLeftoverLink())
        ::unlink(m_name.c_str());
    if (::symlink(m_target.c_str(), m_name.c_str()) == 0)
        return;
    const int error = errno;
    if (error == EEXIST)
        throw std::runtime_error(Refusal(m_name, "exists and is not a link an earlier run left"));
    throw std::runtime_error("cannot make the link " + m_name + ": " + std::strerror(error));
}

CPortLink::~CPortLink()
{
    if (IsOurs())
        ::unlink(m_name.c_str());
}

bool CPortLink::IsLeftoverLink() const
{
    const std::optional<std::string> target = LinkTarget(m_name);
    if (!target || !target->starts_with(PSEUDO_TERMINAL_DIRECTORY))
        return false;
    // The kernel hands out the lowest free terminal number, so after a crash the new terminal
    // is often the very one the old link names.
    if (*target == m_target)
        return true;
    struct stat status = {};
    return ::stat(target->c_str(), &status) != 0 && errno == ENOENT;
}

bool CPortLink::IsOurs() const
{
    return LinkTarget(m_name) == m_target;
}
