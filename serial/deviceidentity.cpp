#include "deviceidentity.h"

#include "portdiscovery.h"

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

} // namespace

bool CDeviceIdentity::LinkStep::operator==(const LinkStep &other) const
{
    return target == other.target && device == other.device && inode == other.inode
        && changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

CDeviceIdentity::CDeviceIdentity(const PortRoots &roots, std::string path)
    : m_path(std::move(path))
    , m_links(LinksOnTheWay(m_path))
    , m_adapter(AdapterIdentity(roots, Canonical(m_path)))
    , m_node(open(m_path.c_str(), O_PATH | O_CLOEXEC))
{ }

CDeviceIdentity::~CDeviceIdentity()
{
    if (m_node >= 0)
        close(m_node);
}

CDeviceIdentity::CDeviceIdentity(CDeviceIdentity &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_links(std::move(other.m_links))
    , m_adapter(std::move(other.m_adapter))
    , m_node(std::exchange(other.m_node, -1))
{ }

CDeviceIdentity &CDeviceIdentity::operator=(CDeviceIdentity &&other) noexcept
{
    if (this != &other) {
        if (m_node >= 0)
            close(m_node);
        m_path = std::move(other.m_path);
        m_links = std::move(other.m_links);
        m_adapter = std::move(other.m_adapter);
        m_node = std::exchange(other.m_node, -1);
    }
    return *this;
}

std::vector<CDeviceIdentity::LinkStep> CDeviceIdentity::LinksOnTheWay(const std::string &path)
{
    std::vector<LinkStep> links;
    fs::path at = path;
    struct stat status
    {
    };
    while (links.size() < MAX_LINKS_ON_THE_WAY && lstat(at.c_str(), &status) == 0
           && S_ISLNK(status.st_mode)) {
        std::error_code error;
        const fs::path target = fs::read_symlink(at, error);
        if (error)
            break;
        links.push_back({target.string(), status.st_dev, status.st_ino, status.st_ctim});
        at = at.parent_path() / target;
    }
    return links;
}

bool CDeviceIdentity::IsSameNode(const struct stat &now) const
{
    struct stat held
    {
    };
    return fstat(m_node, &held) == 0 && held.st_nlink > 0 && held.st_dev == now.st_dev
        && held.st_ino == now.st_ino;
}

bool CDeviceIdentity::IsBack(const PortRoots &roots) const
{
    struct stat now
    {
    };
    if (m_node < 0 || stat(m_path.c_str(), &now) != 0)
        return false;
    const std::vector<LinkStep> links = LinksOnTheWay(m_path);
    const bool ownLinkChanged = links.empty() != m_links.empty()
        || (!links.empty() && !(links.front() == m_links.front()));
    if (ownLinkChanged)
        return true;
    if (!m_adapter.empty())
        return AdapterIdentity(roots, Canonical(m_path)) == m_adapter;
    return IsSameNode(now) || links != m_links;
}
