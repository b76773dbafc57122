#include "io/file_bytes.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace meshara {

namespace {

std::string ErrnoText(int error) { return std::strerror(error); }

// What a path is when it is not a file we read or replace.
std::string KindText(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISFIFO(mode)) return "is a FIFO (named pipe)";
    if (S_ISSOCK(mode)) return "is a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device";
    return "is not a regular file";
}

void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

// ---- Reading ---------------------------------------------------------------

Result<InputFile> InputFile::Open(const std::string& path) {
    // Non-blocking, so a FIFO nobody writes to opens at once and is then refused.
    InputFile file;
    file.fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (file.fd_ < 0) return Failure{ErrorKind::CannotOpen, ErrnoText(errno)};
    struct stat st {};
    if (::fstat(file.fd_, &st) != 0) return Failure{ErrorKind::CannotOpen, ErrnoText(errno)};
    if (!S_ISREG(st.st_mode)) return Failure{ErrorKind::CannotOpen, KindText(st.st_mode)};
    file.size_ = static_cast<uint64_t>(st.st_size);
    return file;
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), position_(other.position_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        Close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        position_ = other.position_;
    }
    return *this;
}

InputFile::~InputFile() { Close(fd_); }

Status InputFile::ReadMore(std::vector<uint8_t>& out, uint64_t count) {
    const uint64_t wanted = std::min(count, size_ - std::min(size_, position_));
    const size_t start = out.size();
    try {
        out.resize(start + static_cast<size_t>(wanted));
    } catch (const std::exception&) {  // bad_alloc, or length_error past what a vector can hold
        return Failure{ErrorKind::CannotOpen, "not enough memory to read " + std::to_string(wanted) + " bytes"};
    }
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(fd_, out.data() + start + got, static_cast<size_t>(wanted) - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            out.resize(start + got);
            return Failure{ErrorKind::CannotOpen, ErrnoText(error)};
        }
        if (n == 0) break;  // the file shrank since it was opened
        got += static_cast<size_t>(n);
    }
    out.resize(start + got);
    position_ += got;
    return {};
}

Result<size_t> InputFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    const uint64_t wanted = std::min<uint64_t>(out.size(), size_ - std::min(size_, offset));
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::pread(fd_, out.data() + got, static_cast<size_t>(wanted) - got,
                                  static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Failure{ErrorKind::CannotOpen, ErrnoText(errno)};
        if (n == 0) break;  // the file shrank since it was opened
        got += static_cast<size_t>(n);
    }
    return got;
}

std::optional<PathThroughFile> SplitAtFile(const std::string& path) {
    struct stat st {};
    // Only "not a directory" says a leading part is something else than a folder.
    if (::stat(path.c_str(), &st) == 0 || errno != ENOTDIR) return std::nullopt;
    // From the right: the file is usually the last part but a few.
    for (size_t cut = path.find_last_of('/'); cut != std::string::npos && cut > 0; cut = path.find_last_of('/', cut - 1)) {
        const std::string head = path.substr(0, cut);
        if (::stat(head.c_str(), &st) != 0) {
            if (errno == ENOTDIR) continue;
            return std::nullopt;
        }
        if (!S_ISREG(st.st_mode)) return std::nullopt;
        size_t from = cut;
        while (from < path.size() && path[from] == '/') ++from;
        return PathThroughFile{head, path.substr(from)};
    }
    return std::nullopt;
}

Result<std::vector<uint8_t>> ReadFileBytes(const std::string& path) {
    auto file = InputFile::Open(path);
    if (!file) return file.Why();
    std::vector<uint8_t> bytes;
    if (Status read = file.Value().ReadMore(bytes, file.Value().Size()); !read) return read.Why();
    return bytes;
}

// ---- Writing ---------------------------------------------------------------

namespace {

// The writer's steps say why they failed through a string; the public
// function turns that into the one failure kind a write has.
bool Fail(std::string& why, std::string text) {
    why = std::move(text);
    return false;
}

bool WriteAll(int fd, std::span<const uint8_t> bytes, std::string& why) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(why, ErrnoText(errno));
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

// Follows symbolic links to the path that is really written, which need
// not exist yet. Empty, with the reason, when the links go round in circles.
std::string ResolveLinks(std::string path, std::string& why) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return Fail(why, ErrnoText(errno)), std::string();
        target.resize(static_cast<size_t>(n));
        path = (target.starts_with('/') ? target : FolderOf(path) + "/" + target);
    }
    Fail(why, ErrnoText(ELOOP));
    return {};
}

// A new, exclusively created file with a short unique name in folder, so
// nothing that already exists (a link left there by anyone) is ever
// followed, and a target name of any legal length still works.
int CreateTemporary(const std::string& folder, mode_t mode, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        char leaf[32];
        std::snprintf(leaf, sizeof leaf, ".meshara-%08x", static_cast<unsigned>(::arc4random()));
        name = folder + "/" + leaf;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The temporary files a write has named and not yet renamed. A signal that
// ends the program removes them first: a handler can reach only static
// storage, so these slots are the one piece of program-wide state, touched
// by the writer alone.
constexpr int kPendingSlots = 4;
char g_pending[kPendingSlots][4096];
volatile std::sig_atomic_t g_pendingUsed[kPendingSlots] = {};

void UnlinkPending() noexcept {
    for (int i = 0; i < kPendingSlots; ++i)
        if (g_pendingUsed[i]) ::unlink(g_pending[i]);
}

extern "C" void RemovePendingTemporariesAndEnd(int signal) {
    UnlinkPending();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Interrupting the program (Ctrl-C, a service's stop) must not leave a
// temporary file behind; a signal the program was told to ignore stays ignored.
void GuardAgainstInterruption() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction now {};
        if (::sigaction(signal, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) continue;
        struct sigaction guard {};
        guard.sa_handler = RemovePendingTemporariesAndEnd;
        sigemptyset(&guard.sa_mask);
        ::sigaction(signal, &guard, nullptr);
    }
}

// The slot now holding name, or -1 when none is free (the name then goes
// unguarded: a set holds at most a few files).
int RememberPending(const std::string& name) {
    if (name.size() >= sizeof g_pending[0]) return -1;
    for (int i = 0; i < kPendingSlots; ++i) {
        if (g_pendingUsed[i]) continue;
        std::memcpy(g_pending[i], name.c_str(), name.size() + 1);
        g_pendingUsed[i] = 1;
        return i;
    }
    return -1;
}

void ForgetPending(int& slot) {
    if (slot >= 0) g_pendingUsed[slot] = 0;
    slot = -1;
}

// Writes over what the file held, from the start. The room for the new bytes
// is reserved first where the file system can, so a full disk fails the
// write before the old content is touched.
bool WriteInPlace(const std::string& path, int extraFlags, std::span<const uint8_t> bytes, std::string& why) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | extraFlags);
    if (fd < 0) return Fail(why, ErrnoText(errno));
    // A FIFO is opened without waiting for a reader; once open, writes may wait.
    if (extraFlags & O_NONBLOCK) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bool ok = true;
    if (regular && !bytes.empty()) {
        const int reserved = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
        // A file system without the call still gets the write; one that is full says so now.
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) ok = Fail(why, ErrnoText(reserved));
    }
    ok = ok && WriteAll(fd, bytes, why);
    if (ok && regular && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) ok = Fail(why, ErrnoText(errno));
    if (::close(fd) != 0 && ok) ok = Fail(why, ErrnoText(errno));
    return ok;
}

// One file of a write on its way: either written whole where nobody sees it
// yet, waiting to be put in place, or to be written into in place.
struct PendingWrite {
    std::string path;  // links followed
    std::span<const uint8_t> bytes;
    int inPlaceFlags = -1;  // >= 0: written in place with these open flags when the set is put in place
    int fd = -1;            // the written temporary, still open; unnamed where the file system allows
    std::string name;       // the temporary's name once it has one
    int slot = -1;          // its pending slot while named

    void Abandon() {
        if (fd >= 0) ::close(fd);
        fd = -1;
        if (!name.empty()) ::unlink(name.c_str());
        name.clear();
        ForgetPending(slot);
    }
};

// Gives the open temporary a name beside its target, so it can be renamed over it.
bool NameTemporary(PendingWrite& w, std::string& why) {
    if (!w.name.empty()) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(w.fd);
    const std::string folder = FolderOf(w.path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char leaf[32];
        std::snprintf(leaf, sizeof leaf, ".meshara-%08x", static_cast<unsigned>(::arc4random()));
        const std::string name = folder + "/" + leaf;
        w.slot = RememberPending(name);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            w.name = name;
            return true;
        }
        ForgetPending(w.slot);
        if (errno != EEXIST) return Fail(why, ErrnoText(errno));
    }
    return Fail(why, ErrnoText(EEXIST));
}

// The first half of a write: everything that can fail before anything the
// user has is touched.
bool Prepare(PendingWrite& w, const std::string& requested, WriteMode mode, std::string& why) {
    w.path = ResolveLinks(requested, why);
    if (w.path.empty()) return false;
    struct stat st {};
    const bool exists = ::stat(w.path.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode)) return Fail(why, KindText(st.st_mode));
        // Renaming over a device or FIFO would replace it with a plain file.
        if (!S_ISREG(st.st_mode)) return w.inPlaceFlags = O_NONBLOCK, true;
        // Replacing would quietly undo the user's refusal to let it be written.
        if (::access(w.path.c_str(), W_OK) != 0) return Fail(why, ErrnoText(errno));
        // A new file would split the links, or leave whoever holds the file
        // open reading the old one: there the file itself is written.
        if (st.st_nlink > 1 || mode == WriteMode::InPlaceWhenExists) return w.inPlaceFlags = 0, true;
    }
    GuardAgainstInterruption();
    const std::string folder = FolderOf(w.path);
    const mode_t fileMode = exists ? (st.st_mode & 07777) : 0666;
#ifdef O_TMPFILE
    // Unnamed until it is put in place, so an interrupted write leaves nothing at all; naming it then goes
    // through /proc, which a bare container may lack.
    if (::access("/proc/self/fd", X_OK) == 0) w.fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, fileMode);
#endif
    if (w.fd < 0) {
        w.fd = CreateTemporary(folder, fileMode, w.name);
        if (w.fd >= 0) w.slot = RememberPending(w.name);
    }
    if (w.fd < 0) {
        // A writable file in a folder that takes no new file can still be
        // written; there the permission of the file matters more than safety.
        if (exists) return w.inPlaceFlags = 0, true;
        return Fail(why, ErrnoText(errno));
    }
    bool ok = WriteAll(w.fd, w.bytes, why);
    if (ok && ::fsync(w.fd) != 0) ok = Fail(why, ErrnoText(errno));
    if (ok && exists) {
        // Owner and group where the process may set them (only root may give
        // a file away); the mode last, since a change of owner clears set-id bits.
        if (::fchown(w.fd, st.st_uid, st.st_gid) != 0 && ::fchown(w.fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
            // Not ours to give: the new file keeps the process's owner and group.
        }
        if (::fchmod(w.fd, st.st_mode & 07777) != 0) ok = Fail(why, ErrnoText(errno));
    }
    if (!ok) w.Abandon();
    return ok;
}

// The second half: the written file takes the target's place, or the target
// is written in place.
bool Commit(PendingWrite& w, std::string& why) {
    if (w.inPlaceFlags >= 0) return WriteInPlace(w.path, w.inPlaceFlags, w.bytes, why);
    bool ok = NameTemporary(w, why);
    if (::close(w.fd) != 0 && ok) ok = Fail(why, ErrnoText(errno));
    w.fd = -1;
    if (ok && ::rename(w.name.c_str(), w.path.c_str()) != 0) ok = Fail(why, ErrnoText(errno));
    if (ok) w.name.clear();
    w.Abandon();
    return ok;
}

}  // namespace

Status WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes, WriteMode mode) {
    const FileToWrite one[] = {{path, bytes, mode}};
    return WriteFileSet(one);
}

Status WriteFileSet(std::span<const FileToWrite> files) {
    // Past a file size limit the write fails with EFBIG instead of killing
    // the process, so the temporary file can still be removed.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<PendingWrite> pending(files.size());
    std::string why;
    const auto fail = [&](const std::string& path) {
        for (PendingWrite& w : pending) w.Abandon();
        return Failure{ErrorKind::CannotCreate, files.size() > 1 ? path + ": " + why : why};
    };
    for (size_t i = 0; i < files.size(); ++i) {
        pending[i].bytes = files[i].bytes;
        if (!Prepare(pending[i], files[i].path, files[i].mode, why)) return fail(files[i].path);
    }
    for (size_t i = 0; i < files.size(); ++i)
        if (!Commit(pending[i], why)) return fail(files[i].path);
    return {};
}

void RemovePendingTemporaries() noexcept { UnlinkPending(); }

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace meshara
