#include "platform/StackedLayers.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

bool StartsWith(const std::string &s, const char *prefix)
{
    return s.rfind(prefix, 0) == 0;
}

// An overlay's list of lower layers: ':' separates them, "\:" is a colon of
// a name.
std::vector<std::string> SplitLayers(const std::string &list)
{
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == '\\' && i + 1 < list.size()) {
            out.back() += list[++i];
        } else if (list[i] == ':') {
            out.emplace_back();
        } else {
            out.back() += list[i];
        }
    }
    return out;
}

// "user@host:/path", "host:/path" or "[::1]:/path": the host and the path.
bool SplitHostPath(const std::string &source, std::string &host, std::string &path)
{
    std::size_t colon;
    std::size_t start = source.find('@');
    start = start == std::string::npos ? 0 : start + 1;
    if (start < source.size() && source[start] == '[') {
        const std::size_t close = source.find(']', start);
        if (close == std::string::npos || close + 1 >= source.size() || source[close + 1] != ':')
            return false;
        host = source.substr(start + 1, close - start - 1);
        colon = close + 1;
    } else {
        colon = source.find(':', start);
        if (colon == std::string::npos)
            return false;
        host = source.substr(start, colon - start);
    }
    if (host.empty() || host.find('/') != std::string::npos)
        return false;
    path = source.substr(colon + 1);
    return true;
}

// "//host/share", or a URL "scheme://host[:port]/...": the host.
std::string HostOfShare(const std::string &source)
{
    std::size_t start = source.find("//");
    if (start == std::string::npos)
        return {};
    start += 2;
    if (const std::size_t at = source.find('@', start); at != std::string::npos && at < source.find('/', start))
        start = at + 1;
    if (start < source.size() && source[start] == '[') {
        const std::size_t close = source.find(']', start);
        return close == std::string::npos ? std::string() : source.substr(start + 1, close - start - 1);
    }
    const std::size_t end = source.find_first_of(":/", start);
    return source.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool SameText(std::string a, std::string b)
{
    for (char &c : a)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (char &c : b)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return a == b;
}

using TKey = std::pair<std::uint64_t, std::uint64_t>;

// The folder and every folder above it, up to the root of this process.
void AddChain(int fd, std::set<TKey> &chain)
{
    int cur = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    for (int depth = 0; cur >= 0 && depth < 4096; ++depth) {
        struct stat st;
        if (::fstat(cur, &st) != 0)
            break;
        if (!chain.insert({std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)}).second)
            break; // the root is its own parent
        const int up = ::openat(cur, "..", kFolderFlags);
        ::close(cur);
        cur = up;
    }
    if (cur >= 0)
        ::close(cur);
}

bool Meets(const std::set<TKey> &a, const std::set<TKey> &b)
{
    for (const TKey &k : a)
        if (b.count(k))
            return true;
    return false;
}

} // namespace

bool IsThisMachine(const std::string &hostText)
{
    std::string host = hostText;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty())
        return false;
    if (SameText(host, "localhost") || SameText(host, "localhost.localdomain") || host == "::1"
        || StartsWith(host, "127.") || host == "0.0.0.0" || host == "::")
        return true;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0]) {
        const std::string me = name;
        const std::string shortMe = me.substr(0, me.find('.'));
        if (SameText(host, me) || SameText(host, shortMe) || SameText(host.substr(0, host.find('.')), shortMe))
            return true;
    }
    // An address of one of this machine's interfaces.
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool mine = false;
    for (ifaddrs *a = list; a && !mine; a = a->ifa_next) {
        if (!a->ifa_addr)
            continue;
        char text[INET6_ADDRSTRLEN] = {};
        if (a->ifa_addr->sa_family == AF_INET)
            ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(a->ifa_addr)->sin_addr, text, sizeof text);
        else if (a->ifa_addr->sa_family == AF_INET6)
            ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6 *>(a->ifa_addr)->sin6_addr, text, sizeof text);
        mine = text[0] && SameText(host, text);
    }
    ::freeifaddrs(list);
    return mine;
}

TStackedLayers::TStackedLayers()
{
    m_tableFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    m_mounts = m_tableFd >= 0 ? ParseMountInfo(ReadWholeFile(m_tableFd)) : ReadMountTable();
}

TStackedLayers::TStackedLayers(std::vector<MountEntry> mounts) : m_mounts(std::move(mounts)) {}

TStackedLayers::~TStackedLayers()
{
    Forget();
    if (m_tableFd >= 0)
        ::close(m_tableFd);
}

void TStackedLayers::Forget()
{
    for (auto &[device, stack] : m_stacks)
        for (int fd : stack.layerFds)
            ::close(fd);
    m_stacks.clear();
}

// The kernel flags the table's descriptor whenever something is mounted or
// unmounted: one poll() per file keeps the answers current.
void TStackedLayers::Refresh()
{
    if (m_tableFd < 0)
        return;
    pollfd p {m_tableFd, POLLPRI, 0};
    if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLPRI | POLLERR)))
        return;
    m_mounts = ParseMountInfo(ReadWholeFile(m_tableFd));
    Forget();
}

const TStackedLayers::TStack &TStackedLayers::StackOf(std::uint64_t device)
{
    if (const auto it = m_stacks.find(device); it != m_stacks.end())
        return it->second;
    TStack &stack = m_stacks[device];
    const MountEntry *m = nullptr;
    for (const MountEntry &e : m_mounts)
        if (std::uint64_t(::makedev(e.major, e.minor)) == device) {
            m = &e;
            break;
        }
    if (!m)
        return stack;
    stack.fileSystem = m->fsType + " at " + m->mountPoint;
    std::vector<std::string> layers;
    const std::string &type = m->fsType;
    std::string host, path;
    if (type == "overlay") {
        stack.stacked = true;
        for (const char *key : {"lowerdir", "upperdir", "datadir"})
            for (const std::string &value : SuperOptionValues(*m, key))
                for (const std::string &layer : SplitLayers(value))
                    if (!layer.empty())
                        layers.push_back(layer);
        // An overlay that names no layer we can see hides where its files
        // come from.
        if (layers.empty())
            stack.undecided = true;
    } else if (type == "nfs" || type == "nfs4") {
        if (SplitHostPath(m->source, host, path) && IsThisMachine(host)) {
            stack.stacked = true;
            layers.push_back(path);
        }
    } else if (type == "cifs" || type == "smb3" || type == "smbfs") {
        // A share served from here: which folder it is, only the server's
        // own configuration says.
        if (IsThisMachine(HostOfShare(m->source)))
            stack.stacked = stack.undecided = true;
    } else if (type == "fuse" || StartsWith(type, "fuse.")) {
        const bool remote = type == "fuse.sshfs" || type == "fuse.davfs2" || type == "fuse.rclone";
        if (remote) {
            const std::string shareHost = HostOfShare(m->source);
            if (!shareHost.empty() ? IsThisMachine(shareHost)
                                   : (SplitHostPath(m->source, host, path) && IsThisMachine(host))) {
                stack.stacked = true;
                if (shareHost.empty() && !path.empty() && path[0] == '/')
                    layers.push_back(path);
                else
                    stack.undecided = true;
            }
        } else {
            // A pass-through names the folders it shows, where it names any
            // ("/data" for a bind view, "/a:/b" for a union of branches);
            // one that names none cannot be told apart from them.
            stack.stacked = true;
            for (const std::string &branch : SplitLayers(m->source)) {
                struct stat st;
                if (!branch.empty() && branch[0] == '/' && ::stat(branch.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                    layers.push_back(branch);
            }
            if (layers.empty())
                stack.undecided = true;
        }
    }
    for (const std::string &layer : layers) {
        const int fd = ::open(layer.c_str(), kFolderFlags);
        struct stat st;
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            // A layer out of this process's sight (another mount namespace,
            // unmounted since): nothing can be told about it.
            if (fd >= 0)
                ::close(fd);
            stack.undecided = true;
            continue;
        }
        stack.layers.insert({std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)});
        stack.layerFds.push_back(fd);
    }
    return stack;
}

bool TStackedLayers::AnyStacked(std::uint64_t deviceA, std::uint64_t deviceB)
{
    Refresh();
    return StackOf(deviceA).stacked || StackOf(deviceB).stacked;
}

TStackedAnswer TStackedLayers::Relation(std::uint64_t deviceA, int folderA, std::uint64_t deviceB, int folderB)
{
    Refresh();
    const TStack &a = StackOf(deviceA);
    const TStack &b = StackOf(deviceB);
    TStackedAnswer answer;
    if (!a.stacked && !b.stacked)
        return answer;
    // Where each file really is: its own folders up to the root, and, for a
    // file seen through a stack, the layers it is seen from.
    const auto whereIs = [](const TStack &s, int folder) {
        std::set<TKey> chain;
        AddChain(folder, chain);
        if (s.stacked)
            for (int fd : s.layerFds)
                AddChain(fd, chain);
        return chain;
    };
    if (a.stacked && Meets(a.layers, whereIs(b, folderB))) {
        answer.verdict = TStackedVerdict::SameFile;
        answer.fileSystem = a.fileSystem;
    } else if (b.stacked && Meets(b.layers, whereIs(a, folderA))) {
        answer.verdict = TStackedVerdict::SameFile;
        answer.fileSystem = b.fileSystem;
    } else if (a.undecided || b.undecided) {
        answer.verdict = TStackedVerdict::Undecided;
        answer.fileSystem = a.undecided ? a.fileSystem : b.fileSystem;
    }
    return answer;
}
