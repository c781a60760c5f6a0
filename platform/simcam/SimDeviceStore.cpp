#include "platform/simcam/SimDeviceStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kMagic = "thermava-simcam-state 1";
constexpr size_t kVersionBytes = 32;
constexpr size_t kMaxEntries = 4096;   // more than any table the camera accepts

std::string hex(const std::string& bytes)
{
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

bool unhex(const std::string& text, std::string& out)
{
    if (text.size() % 2)
        return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (!end || *end)
            return false;
        out += char(v);
    }
    return true;
}

std::string bootId()
{
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id;
}

std::string errnoText(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

bool lockFd(int fd, int op)
{
    while (flock(fd, op) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

template <class T, class F>
void writeList(std::ostringstream& out, const char* key, const std::vector<T>& v, F each)
{
    out << key << ' ' << v.size();
    for (const T& x : v)
        each(x);
    out << '\n';
}

} // namespace

std::string SimStateText::write(const SimSharedState& s, const std::string& boot)
{
    std::ostringstream out;
    out << kMagic << '\n'
        << "boot " << (boot.empty() ? "-" : boot) << '\n'
        << "epoch " << s.powerEpoch << '\n'
        << "busoff " << s.busOffUntilMs << '\n'
        << "workmode " << s.workMode << '\n'
        << "version " << hex(s.version) << '\n';
    auto pixels = [&](const char* key, const std::vector<SimBadPixel>& v) {
        writeList(out, key, v, [&](const SimBadPixel& p) { out << ' ' << p.nCol << ' ' << p.nRow; });
    };
    auto columns = [&](const char* key, const std::vector<int>& v) {
        writeList(out, key, v, [&](int c) { out << ' ' << c; });
    };
    pixels("pixels", s.pixels);
    columns("columns", s.columns);
    pixels("savedpixels", s.savedPixels);
    columns("savedcolumns", s.savedColumns);
    out << "end\n";
    return out.str();
}

bool SimStateText::read(const std::string& text, SimSharedState& s, std::string& boot)
{
    std::istringstream in(text);
    std::string line, key, versionHex;
    if (!std::getline(in, line) || line != kMagic)
        return false;
    SimSharedState r;
    auto count = [&](size_t& n) { return bool(in >> n) && n <= kMaxEntries; };
    auto list = [&](const char* name, auto& v, auto readOne) {
        size_t n = 0;
        if (!(in >> key) || key != name || !count(n))
            return false;
        v.resize(n);
        for (auto& x : v) {
            if (!readOne(x))
                return false;
        }
        return true;
    };
    auto pixel = [&](SimBadPixel& p) { return bool(in >> p.nCol >> p.nRow) && p.nCol >= 0 && p.nRow >= 0; };
    auto column = [&](int& c) { return bool(in >> c) && c >= 0; };
    std::string k1, k2, k3, k4, k5;
    if (!(in >> k1 >> boot >> k2 >> r.powerEpoch >> k3 >> r.busOffUntilMs >> k4 >> r.workMode >> k5 >> versionHex))
        return false;
    if (k1 != "boot" || k2 != "epoch" || k3 != "busoff" || k4 != "workmode" || k5 != "version"
        || (r.workMode != 4 && r.workMode != 5) || !unhex(versionHex, r.version) || r.version.size() != kVersionBytes)
        return false;
    if (!list("pixels", r.pixels, pixel) || !list("columns", r.columns, column)
        || !list("savedpixels", r.savedPixels, pixel) || !list("savedcolumns", r.savedColumns, column)
        || !(in >> key) || key != "end")
        return false;
    if (boot == "-")
        boot.clear();
    s = std::move(r);
    return true;
}

SimDeviceStore::SimDeviceStore(const std::string& dirIn)
{
    std::string dir = dirIn;
    std::string suffix;
    if (dir.empty()) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const char* tmp = std::getenv("TMPDIR");
        if (runtime && *runtime) {
            dir = runtime;
        } else {
            dir = tmp && *tmp ? tmp : "/tmp";
            // A folder every user shares: one camera per user, as the runtime folder gives.
            suffix = "-" + std::to_string(getuid());
        }
    }
    const std::string base = dir + "/thermava-simcam" + suffix;
    m_statePath = base + ".state";
    m_lockPath = base + ".lock";
    m_sessionPath = base + ".session";
    m_nLockFd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_nLockFd < 0)
        m_error = errnoText("cannot open", m_lockPath);
}

SimDeviceStore::~SimDeviceStore()
{
    releaseSession();
    if (m_nLockFd >= 0)
        ::close(m_nLockFd);
}

bool SimDeviceStore::transact(const SimSharedState& factory, const std::function<void(SimSharedState&)>& fn,
                              std::string* pWarning)
{
    if (m_nLockFd < 0 || !lockFd(m_nLockFd, LOCK_EX)) {
        if (pWarning)
            *pWarning = m_error.empty() ? errnoText("cannot lock", m_lockPath) : m_error;
        return false;
    }
    std::string text;
    bool bExists = false;
    {
        std::ifstream in(m_statePath, std::ios::binary);
        if (in) {
            bExists = true;
            std::ostringstream ss;
            ss << in.rdbuf();
            text = ss.str();
        }
    }
    const std::string boot = bootId();
    SimSharedState s = factory;
    std::string fileBoot;
    if (bExists && !SimStateText::read(text, s, fileBoot)) {
        s = factory;
        if (pWarning)
            *pWarning = "the simulated camera's state file " + m_statePath
                        + " is damaged; the camera is back to its factory state";
    }
    if (bExists && fileBoot != boot) {
        // The machine was restarted since: so was the camera.
        s.pixels = s.savedPixels;
        s.columns = s.savedColumns;
        s.workMode = 4;
        s.busOffUntilMs = 0;
        ++s.powerEpoch;
    }
    fn(s);
    const std::string out = SimStateText::write(s, boot);
    bool bOk = true;
    if (out != text) {
        // Written beside and renamed over, so a crash never leaves half a state behind. No
        // link is followed: the folder may be the temporary one that every user shares.
        const std::string tmp = m_statePath + ".new";
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        FILE* f = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
        if (fd >= 0 && !f)
            ::close(fd);
        bOk = f && std::fwrite(out.data(), 1, out.size(), f) == out.size();
        bOk = (f && std::fclose(f) == 0) && bOk;
        bOk = bOk && std::rename(tmp.c_str(), m_statePath.c_str()) == 0;
        if (!bOk && pWarning)
            *pWarning = errnoText("cannot write", m_statePath);
    }
    lockFd(m_nLockFd, LOCK_UN);
    return bOk;
}

bool SimDeviceStore::claimSession(std::string* pHolder)
{
    if (m_nSessionFd >= 0)
        return true;
    const int fd = ::open(m_sessionPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (pHolder)
            *pHolder = errnoText("cannot open", m_sessionPath);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char buf[32] = {};
        const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
        const int pid = n > 0 ? std::atoi(buf) : 0;
        if (pHolder)
            *pHolder = pid > 0 ? "process " + std::to_string(pid) : std::string("another process");
        ::close(fd);
        return false;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != ssize_t(pid.size())) {
        // The holder's name is only for the message; the lock is what counts.
    }
    m_nSessionFd = fd;
    return true;
}

void SimDeviceStore::releaseSession()
{
    if (m_nSessionFd < 0)
        return;
    if (::ftruncate(m_nSessionFd, 0) != 0) {
        // Only the holder's name is left behind; the lock goes with the descriptor.
    }
    ::close(m_nSessionFd);
    m_nSessionFd = -1;
}
