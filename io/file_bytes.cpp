#include "io/file_bytes.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <utility>

#include <fcntl.h>
#include <pthread.h>
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
// functions turn that into the one failure kind a write has.
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

bool WriteAllAt(int fd, uint64_t offset, std::span<const uint8_t> bytes, std::string& why) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
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

// A short unique name in folder, so a target name of any legal length still works.
std::string TemporaryName(const std::string& folder) {
    char leaf[32];
    std::snprintf(leaf, sizeof leaf, ".meshara-%08x", static_cast<unsigned>(::arc4random()));
    return folder + "/" + leaf;
}

// The temporary files a write has named and not yet renamed or removed:
// written files waiting to take their places, and old files kept until a
// set is in place. A signal that ends the program removes them first: a
// handler can reach only static storage, so these slots are the one piece
// of program-wide state, touched by the writer alone.
constexpr int kPendingSlots = 16;
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

constexpr int kGuardedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Interrupting the program (Ctrl-C, a service's stop) must not leave a
// temporary file behind; a signal the program was told to ignore stays ignored.
void GuardAgainstInterruption() {
    for (int signal : kGuardedSignals) {
        struct sigaction now {};
        if (::sigaction(signal, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) continue;
        struct sigaction guard {};
        guard.sa_handler = RemovePendingTemporariesAndEnd;
        sigemptyset(&guard.sa_mask);
        ::sigaction(signal, &guard, nullptr);
    }
}

// The guarded signals held off for as long as it lives: they arrive once it
// is gone, when a set of files is either all old or all new.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : kGuardedSignals) sigaddset(&held, signal);
        ::pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};

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

// A new, exclusively created file under a fresh name in folder, so nothing
// that already exists (a link left there by anyone) is ever followed; its
// name guarded from the moment it exists.
int CreateNamedTemporary(const std::string& folder, mode_t mode, std::string& name, int& slot) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(folder);
        slot = RememberPending(name);
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) return fd;
        ForgetPending(slot);
        if (errno != EEXIST) break;
    }
    name.clear();
    return -1;
}

// A file in folder that has no name yet where the file system allows, so an
// interrupted or killed write leaves nothing at all; naming it later goes
// through /proc, which a bare container may lack. Otherwise a named one.
int CreateTemporary(const std::string& folder, mode_t mode, std::string& name, int& slot) {
#ifdef O_TMPFILE
    if (::access("/proc/self/fd", X_OK) == 0) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (fd >= 0) return fd;
    }
#endif
    return CreateNamedTemporary(folder, mode, name, slot);
}

}  // namespace

// One file of a write on its way: written whole where nobody sees it yet,
// then put in its target's place; or kept aside and written into the target
// itself once the rest is in place.
struct PendingWrite {
    std::string path;                // the file really written, links followed
    std::span<const uint8_t> bytes;  // the content, when given whole
    int inPlaceFlags = -1;           // >= 0: the target itself is written, opened with these flags
    bool exists = false;
    struct stat old {};              // the target as it was, when it exists
    int fd = -1;                     // the temporary: beside the target, or aside for a target written in place
    uint64_t size = 0;               // what the temporary holds
    std::string name;                // the temporary's name, once it has one
    int slot = -1;

    // How the file took its target's place, and so how it is put back.
    enum class Placed { No, Created, Exchanged, BackedUp, Replaced } placed = Placed::No;
    std::string backup;  // the old file's second name while a set takes its places
    int backupSlot = -1;

    bool finished = false;

    // Gives up before the target was touched: the temporary goes.
    void Abandon() {
        if (fd >= 0) ::close(fd);
        fd = -1;
        if (!name.empty()) ::unlink(name.c_str());
        name.clear();
        ForgetPending(slot);
    }
};

namespace {

// Where a target written in place keeps its bytes while they are made: a
// file of no name in the folder for temporary files.
bool OpenAside(PendingWrite& w, std::string& why) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    w.fd = CreateTemporary(folder, 0600, w.name, w.slot);
    if (w.fd < 0) return Fail(why, ErrnoText(errno));
    if (!w.name.empty()) {  // only ever read through the descriptor
        ::unlink(w.name.c_str());
        w.name.clear();
        ForgetPending(w.slot);
    }
    return true;
}

// The first step of a write: what the target is, and where the new bytes
// go. Nothing the user has is touched. A streamed write gets a file for its
// bytes also when the target is written in place.
bool Plan(PendingWrite& w, const std::string& requested, WriteMode mode, bool streamed, std::string& why) {
    w.path = ResolveLinks(requested, why);
    if (w.path.empty()) return false;
    w.exists = ::stat(w.path.c_str(), &w.old) == 0;
    if (!w.exists && errno != ENOENT) return Fail(why, ErrnoText(errno));  // a name too long, a folder we may not search
    const auto inPlace = [&](int flags) {
        w.inPlaceFlags = flags;
        return !streamed || OpenAside(w, why);
    };
    if (w.exists) {
        if (S_ISDIR(w.old.st_mode)) return Fail(why, KindText(w.old.st_mode));
        // Renaming over a device or FIFO would replace it with a plain file.
        if (!S_ISREG(w.old.st_mode)) return inPlace(O_NONBLOCK);
        // Replacing would quietly undo the user's refusal to let it be written.
        if (::access(w.path.c_str(), W_OK) != 0) return Fail(why, ErrnoText(errno));
        // Whoever holds the file open reads the new bytes. A file of several
        // names is never written into: its other names would see the write
        // half done, or torn for good by a kill.
        if (mode == WriteMode::InPlaceWhenExists && w.old.st_nlink == 1) return inPlace(0);
    }
    GuardAgainstInterruption();
    w.fd = CreateTemporary(FolderOf(w.path), w.exists ? (w.old.st_mode & 07777) : 0666, w.name, w.slot);
    if (w.fd >= 0) return true;
    const int error = errno;
    // A writable file of one name in a folder that takes no new file can
    // still be written; there the permission of the file matters more than safety.
    if (w.exists && w.old.st_nlink == 1) return inPlace(0);
    return Fail(why, ErrnoText(error));
}

// The temporary made ready to take the target's place: on disk, and with
// the old file's owner and group where the process may set them (only root
// may give a file away), and its mode last, since a change of owner clears
// set-id bits.
bool Seal(PendingWrite& w, std::string& why) {
    if (w.inPlaceFlags >= 0) return true;
    if (::fsync(w.fd) != 0) return Fail(why, ErrnoText(errno));
    if (!w.exists) return true;
    if (::fchown(w.fd, w.old.st_uid, w.old.st_gid) != 0 && ::fchown(w.fd, static_cast<uid_t>(-1), w.old.st_gid) != 0) {
        // Not ours to give: the new file keeps the process's owner and group.
    }
    if (::fchmod(w.fd, w.old.st_mode & 07777) != 0) return Fail(why, ErrnoText(errno));
    return true;
}

// Gives the temporary a name beside its target, so it can be renamed over it.
bool NameTemporary(PendingWrite& w, std::string& why) {
    if (!w.name.empty()) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(w.fd);
    const std::string folder = FolderOf(w.path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = TemporaryName(folder);
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

// A second name for the old file, so it can be put back.
bool KeepOld(PendingWrite& w) {
    const std::string folder = FolderOf(w.path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        w.backup = TemporaryName(folder);
        w.backupSlot = RememberPending(w.backup);
        if (::link(w.path.c_str(), w.backup.c_str()) == 0) return true;
        ForgetPending(w.backupSlot);
        if (errno != EEXIST) break;
    }
    w.backup.clear();
    return false;
}

// The written temporary takes its target's place. The old file stays
// reachable (under the temporary's name, swapped with it, or a second name
// where the file system cannot swap) until the whole set is in place.
bool Place(PendingWrite& w, std::string& why) {
    bool ok = NameTemporary(w, why);
    if (::close(w.fd) != 0 && ok) ok = Fail(why, ErrnoText(errno));
    w.fd = -1;
    if (!ok) return false;
    struct stat st {};
    if (::lstat(w.path.c_str(), &st) != 0) {
        if (::rename(w.name.c_str(), w.path.c_str()) != 0) return Fail(why, ErrnoText(errno));
        w.placed = PendingWrite::Placed::Created;
    } else if (::renameat2(AT_FDCWD, w.name.c_str(), AT_FDCWD, w.path.c_str(), RENAME_EXCHANGE) == 0) {
        w.placed = PendingWrite::Placed::Exchanged;
        return true;  // the temporary's name now holds the old file
    } else if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return Fail(why, ErrnoText(errno));
    } else {
        const bool kept = KeepOld(w);
        if (::rename(w.name.c_str(), w.path.c_str()) != 0) {
            const int error = errno;
            if (kept) ::unlink(w.backup.c_str()), ForgetPending(w.backupSlot), w.backup.clear();
            return Fail(why, ErrnoText(error));
        }
        w.placed = kept ? PendingWrite::Placed::BackedUp : PendingWrite::Placed::Replaced;
    }
    w.name.clear();
    ForgetPending(w.slot);
    return true;
}

// Puts the old file back (or takes away the new one that had no old one).
void Unplace(PendingWrite& w) {
    switch (w.placed) {
        case PendingWrite::Placed::Created: ::unlink(w.path.c_str()); break;
        case PendingWrite::Placed::Exchanged:
            if (::renameat2(AT_FDCWD, w.name.c_str(), AT_FDCWD, w.path.c_str(), RENAME_EXCHANGE) == 0)
                ::unlink(w.name.c_str());
            ForgetPending(w.slot);
            w.name.clear();
            break;
        case PendingWrite::Placed::BackedUp:
            ::rename(w.backup.c_str(), w.path.c_str());
            ForgetPending(w.backupSlot);
            w.backup.clear();
            break;
        case PendingWrite::Placed::No:
        case PendingWrite::Placed::Replaced: break;
    }
    w.placed = PendingWrite::Placed::No;
}

// The set is in place: the old files go.
void Settle(PendingWrite& w) {
    if (w.placed == PendingWrite::Placed::Exchanged) ::unlink(w.name.c_str()), w.name.clear(), ForgetPending(w.slot);
    if (w.placed == PendingWrite::Placed::BackedUp) ::unlink(w.backup.c_str()), w.backup.clear(), ForgetPending(w.backupSlot);
    w.finished = true;
}

// Writes over what the target held, from the start: the bytes given, or
// those kept aside. The room for them is reserved first where the file
// system can, so a full disk fails the write before the old content is touched.
bool WriteInPlace(PendingWrite& w, std::string& why) {
    int fd = ::open(w.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | w.inPlaceFlags);
    if (fd < 0) return Fail(why, ErrnoText(errno));
    // A FIFO is opened without waiting for a reader; once open, writes may wait.
    if (w.inPlaceFlags & O_NONBLOCK) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const bool aside = w.fd >= 0;
    const uint64_t size = aside ? w.size : w.bytes.size();
    bool ok = true;
    if (regular && size > 0) {
        const int reserved = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
        // A file system without the call still gets the write; one that is full says so now.
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) ok = Fail(why, ErrnoText(reserved));
    }
    if (aside) {
        std::vector<uint8_t> chunk(std::min<uint64_t>(size, 1 << 20));
        for (uint64_t done = 0; ok && done < size;) {
            const ssize_t n = ::pread(w.fd, chunk.data(), std::min<uint64_t>(chunk.size(), size - done),
                                      static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ok = Fail(why, n < 0 ? ErrnoText(errno) : "the bytes kept aside are gone");
            if (ok) ok = WriteAll(fd, std::span(chunk.data(), static_cast<size_t>(n)), why);
            done += static_cast<uint64_t>(std::max<ssize_t>(n, 0));
        }
    } else {
        ok = ok && WriteAll(fd, w.bytes, why);
    }
    if (ok && regular && ::ftruncate(fd, static_cast<off_t>(size)) != 0) ok = Fail(why, ErrnoText(errno));
    if (::close(fd) != 0 && ok) ok = Fail(why, ErrnoText(errno));
    return ok;
}

// Puts a prepared set in place, all or nothing; the index of the file that
// failed, or -1.
long Commit(std::span<PendingWrite> set, std::string& why) {
    const auto undo = [&](long failed) {
        for (PendingWrite& w : set) Unplace(w);
        for (PendingWrite& w : set) w.Abandon();
        return failed;
    };
    bool inPlaceLeft = false;
    {
        SignalsHeld held;
        for (size_t i = 0; i < set.size(); ++i) {
            if (set[i].inPlaceFlags >= 0) {
                inPlaceLeft = true;
                continue;
            }
            if (!Place(set[i], why)) return undo(static_cast<long>(i));
        }
        if (!inPlaceLeft) {
            for (PendingWrite& w : set) Settle(w);
            return -1;
        }
    }
    // Written in place, possibly waiting for a reader of a FIFO: interruptible.
    for (size_t i = 0; i < set.size(); ++i)
        if (set[i].inPlaceFlags >= 0 && !WriteInPlace(set[i], why)) {
            SignalsHeld held;
            return undo(static_cast<long>(i));
        }
    SignalsHeld held;
    for (PendingWrite& w : set) Settle(w), w.Abandon();
    return -1;
}

Failure WriteFailure(std::string why) { return Failure{ErrorKind::CannotCreate, std::move(why)}; }

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
    const auto fail = [&](size_t i) {
        for (PendingWrite& w : pending) w.Abandon();
        return WriteFailure(files.size() > 1 ? files[i].path + ": " + why : why);
    };
    for (size_t i = 0; i < files.size(); ++i) {
        PendingWrite& w = pending[i];
        w.bytes = files[i].bytes;
        if (!Plan(w, files[i].path, files[i].mode, false, why)) return fail(i);
        if (w.inPlaceFlags < 0 && (!WriteAll(w.fd, w.bytes, why) || !Seal(w, why))) return fail(i);
    }
    if (const long failed = Commit(pending, why); failed >= 0) {
        return WriteFailure(files.size() > 1 ? files[static_cast<size_t>(failed)].path + ": " + why : why);
    }
    return {};
}

Status MemorySink::Append(std::span<const uint8_t> more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return {};
}

Status MemorySink::Overwrite(uint64_t offset, std::span<const uint8_t> over) {
    if (offset > bytes.size() || over.size() > bytes.size() - offset)
        return WriteFailure("a write past the end of what was made");
    std::copy(over.begin(), over.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return {};
}

Result<StreamedFile> StreamedFile::Create(const std::string& path, WriteMode mode) {
    std::signal(SIGXFSZ, SIG_IGN);
    auto w = std::make_unique<PendingWrite>();
    std::string why;
    if (!Plan(*w, path, mode, true, why)) {
        w->Abandon();
        return WriteFailure(why);
    }
    return StreamedFile(std::move(w));
}

StreamedFile::StreamedFile(std::unique_ptr<PendingWrite> write) : write_(std::move(write)) {}
StreamedFile::StreamedFile(StreamedFile&& other) noexcept = default;
StreamedFile& StreamedFile::operator=(StreamedFile&& other) noexcept {
    if (this != &other) {
        if (write_) write_->Abandon();
        write_ = std::move(other.write_);
    }
    return *this;
}
StreamedFile::~StreamedFile() {
    if (write_) write_->Abandon();
}

Status StreamedFile::Append(std::span<const uint8_t> bytes) {
    std::string why;
    if (!write_ || write_->fd < 0 || write_->finished) return WriteFailure("the file is already finished");
    if (!WriteAll(write_->fd, bytes, why)) return WriteFailure(why);
    write_->size += bytes.size();
    return {};
}

Status StreamedFile::Overwrite(uint64_t offset, std::span<const uint8_t> bytes) {
    std::string why;
    if (!write_ || write_->fd < 0 || write_->finished) return WriteFailure("the file is already finished");
    if (offset > write_->size || bytes.size() > write_->size - offset)
        return WriteFailure("a write past the end of what was written");
    if (!WriteAllAt(write_->fd, offset, bytes, why)) return WriteFailure(why);
    return {};
}

uint64_t StreamedFile::Size() const { return write_ ? write_->size : 0; }

Status StreamedFile::Finish() {
    std::string why;
    if (!write_ || write_->fd < 0 || write_->finished) return WriteFailure("the file is already finished");
    if (!Seal(*write_, why)) {
        write_->Abandon();
        return WriteFailure(why);
    }
    if (Commit(std::span(write_.get(), 1), why) >= 0) return WriteFailure(why);
    return {};
}

void RemovePendingTemporaries() noexcept { UnlinkPending(); }

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace meshara
