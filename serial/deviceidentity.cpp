#include "deviceidentity.h"

#include "portdiscovery.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The kernel's own bound on links followed in one lookup.
constexpr std::size_t MAX_LINKS_ON_THE_WAY = 40;

std::string Canonical(const std::string &path)
{
    std::error_code error;
    const fs::path reached = fs::canonical(path, error);
    return error ? std::string() : reached.string();
}

std::string LinkTarget(const std::string &path)
{
    std::error_code error;
    const fs::path target = fs::read_symlink(path, error);
    return error ? std::string() : target.string();
}

} // namespace

CDeviceIdentity::CPathHandle::CPathHandle(const std::string &path, bool followLinks)
    : m_fd(open(path.c_str(), O_PATH | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW)))
{ }

CDeviceIdentity::CPathHandle::~CPathHandle()
{
    if (m_fd >= 0)
        close(m_fd);
}

CDeviceIdentity::CPathHandle::CPathHandle(CPathHandle &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{ }

CDeviceIdentity::CPathHandle &CDeviceIdentity::CPathHandle::operator=(CPathHandle &&other) noexcept
{
    std::swap(m_fd, other.m_fd);
    return *this;
}

bool CDeviceIdentity::CPathHandle::IsStillAt(const struct stat &found) const
{
    struct stat held
    {
    };
    return fstat(m_fd, &held) == 0 && held.st_nlink > 0 && held.st_dev == found.st_dev
        && held.st_ino == found.st_ino;
}

CDeviceIdentity::CDeviceIdentity(const PortRoots &roots, std::string path)
    : m_path(std::move(path))
    , m_links(LinksOnTheWay(m_path))
    , m_adapter(AdapterIdentity(roots, Canonical(m_path)))
    , m_node(m_path, true)
{ }

std::vector<CDeviceIdentity::LinkStep> CDeviceIdentity::LinksOnTheWay(const std::string &path)
{
    std::vector<LinkStep> links;
    fs::path at = path;
    for (std::string target;
         links.size() < MAX_LINKS_ON_THE_WAY && !(target = LinkTarget(at.string())).empty();) {
        links.push_back({at.string(), target, CPathHandle(at.string(), false)});
        at = at.parent_path() / target;
    }
    return links;
}

bool CDeviceIdentity::Changed(const LinkStep &step)
{
    struct stat found
    {
    };
    return lstat(step.path.c_str(), &found) != 0 || LinkTarget(step.path) != step.target
        || !step.link.IsStillAt(found);
}

bool CDeviceIdentity::IsBack(const PortRoots &roots) const
{
    struct stat found
    {
    };
    if (!m_node.IsOpen() || stat(m_path.c_str(), &found) != 0)
        return false;
    if (!m_links.empty() && Changed(m_links.front()))
        return true;
    if (!m_adapter.empty())
        return AdapterIdentity(roots, Canonical(m_path)) == m_adapter;
    return m_node.IsStillAt(found) || std::any_of(m_links.begin(), m_links.end(), Changed);
}
