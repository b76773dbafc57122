// Files as users' folders really hold them: folders, FIFOs, sockets and devices where a file was expected,
// links, permissions, size limits. Nothing may block, balloon, or replace what it should write into.

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <set>
#include <thread>

#include "formats/lgt_file.h"
#include "formats/md2_file.h"
#include "formats/skin_decoder.h"
#include "io/file_bytes.h"
#include "tests/test_support.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct stat StatOf(const fs::path& p, bool follow = true) {
    struct stat st {};
    (follow ? ::stat : ::lstat)(p.c_str(), &st);
    return st;
}
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

using testing::FileNames;  // the writer's leftovers: any name in a folder that nobody asked for

// body's verdict (0 true, 1 false, 100 + a killing signal) from a child: for dropped privileges and limits.
int InChild(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

struct FileIo : ::testing::Test {
    FileIo() { fs::permissions(dir.Path(), fs::perms::all); }  // nobody works here too
    fs::path At(const std::string& name) const { return dir.Path() / name; }
    testing::TempDir dir;
};

TEST_F(FileIo, EveryReaderRefusesWhatIsNoFileAtOnceAndReadsNoFurtherThanTheFileWas) {
    fs::create_directory(At("folder.md2"));
    ASSERT_EQ(::mkfifo(At("fifo.md2").c_str(), 0600), 0);  // nobody writes: opening must not wait
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{AF_UNIX, {}};
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", At("socket.md2").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("/dev/zero", At("zero-link.md2"));
    const std::pair<std::string, std::string> paths[] = {
        {At("folder.md2"), "is a directory"}, {At("fifo.md2"), "is a FIFO (named pipe)"},
        {At("socket.md2"), "No such device or address"},  // a socket cannot even be opened
        {"/dev/zero", "is a device"}, {At("zero-link.md2"), "is a device"},
        {At("absent.md2"), "No such file or directory"}, };
    const auto refusal = [](const auto& r) { return std::pair{r.Error(), r.Detail()}; };
    for (const auto& [path, why] : paths)
        for (const auto& got : {refusal(ReadMd2File(path)), refusal(ReadSkinImage(path)), refusal(LoadLightFile(path))})
            EXPECT_EQ(got, (std::pair{ErrorKind::CannotOpen, why})) << path;
    ::close(sock);
    // Reads stop at the size the file had when opened, and at what the reader asks.
    auto file = InputFile::Open(dir.Write("data", Bytes(1000, 7)));
    ASSERT_TRUE(file) << file.Detail();
    Bytes got;
    ASSERT_TRUE(file.Value().ReadMore(got, 6));
    dir.Write("data", Bytes(5000, 8));  // grows while open (same inode, truncated and rewritten)
    const Status more = file.Value().ReadMore(got, uint64_t{1} << 62);
    ASSERT_TRUE(more) << more.Detail() << ": asking is not allocating";
    EXPECT_EQ(got.size(), 1000u) << "never past the size it had when opened";
}

TEST_F(FileIo, WriterReplacesAFileKeepingItsModeOwnerAndSymbolicLinks) {
    // setUp makes what the writer is given the name `written` of; the new bytes must be read at `holds`, and the
    // old ones still at `keepsOld` where there is one; "link", where there is one, must stay a symbolic link
    // exactly when `symlinkStays`.
    using Folder = const testing::TempDir&;
    const struct {
        const char* why;
        std::function<void(Folder)> setUp;
        std::string written, holds;
        bool symlinkStays;
        const char* keepsOld = nullptr;
    } cases[] = {
        {"a new file", [](Folder) {}, "target", "target", false},
        {"a 0640 file keeps its mode", [](Folder d) { fs::permissions(d.Write("target", Text("old")), fs::perms(0640)); },
         "target", "target", false},
        {"a symbolic link writes its target",
         [](Folder d) { fs::create_symlink(d.Write("target", Text("old")).filename(), d.Path() / "link"); }, "link",
         "target", true},
        {"a chain of links, the last one dangling", [](Folder d) {
             fs::create_symlink("target", d.Path() / "inner");
             fs::create_symlink(d.Path() / "inner", d.Path() / "link");
         }, "link", "target", true},
        {"a hard link gets a file of its own, the other name keeping the old bytes",
         [](Folder d) { fs::create_hard_link(d.Write("target", Text("old")), d.Path() / "link"); }, "link", "link",
         false, "target"},
        {"a name of 255 bytes", [](Folder) {}, std::string(255, 'n'), std::string(255, 'n'), false},
        {"nobody's file keeps its owner (only root can give a file away)", [](Folder d) {
             EXPECT_TRUE(::getuid() != 0 || ::chown(d.Write("target", Text("old")).c_str(), 65534, 65534) == 0);
         }, "target", "target", false}, };
    for (const auto& c : cases)
        for (WriteMode mode : {WriteMode::Replace, WriteMode::InPlaceWhenExists}) {
            const std::string why = std::string(c.why) + (mode == WriteMode::Replace ? "" : ", asked in place");
            testing::TempDir d;
            c.setUp(d);
            const fs::path target = d.Path() / c.holds;
            const bool existed = fs::exists(target);
            const struct stat before = StatOf(target);
            const auto namesBefore = FileNames(d.Path());
            const Status written = WriteFileBytes(d.Path() / c.written, Text("new bytes"), mode);
            ASSERT_TRUE(written) << why << ": " << written.Detail();
            EXPECT_EQ(testing::ReadAll(target), Text("new bytes")) << why;
            if (c.keepsOld) {
                EXPECT_EQ(testing::ReadAll(d.Path() / c.keepsOld), Text("old")) << why;
            }
            const struct stat after = StatOf(target);
            const auto kept = [](const struct stat& st) { return std::array<unsigned, 3>{st.st_mode, st.st_uid, st.st_gid}; };
            EXPECT_EQ(kept(after), existed ? kept(before) : kept(after)) << why << ": mode, owner and group";
            EXPECT_EQ(after.st_nlink, 1u) << why;
            // Only a file of one name, asked for, is written into; anything else is a new file.
            EXPECT_EQ(after.st_ino == before.st_ino, existed && before.st_nlink == 1 && mode == WriteMode::InPlaceWhenExists)
                << why;
            EXPECT_EQ(S_ISLNK(StatOf(d.Path() / "link", false).st_mode), c.symlinkStays) << why;
            auto namesAfter = FileNames(d.Path());
            if (!existed) namesAfter.erase(target.filename().string());
            EXPECT_EQ(namesAfter, namesBefore) << why << ": no temporary file is left";
        }
}

TEST_F(FileIo, WriterWritesIntoFifosAndDevicesFollowsNoPlantedLinkAndAFailureLeavesTheOldFile) {
    ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(WriteFileBytes(At("fifo"), Text("x"))) << "nobody reads: fails at once";
    Bytes received;
    std::thread reader([&] { received = testing::ReadAll(At("fifo")); });
    while (!WriteFileBytes(At("fifo"), Text("through the pipe")))  // the reader has opened its end once a writer gets in
        std::this_thread::yield();
    reader.join();
    EXPECT_EQ(received, Text("through the pipe"));
    EXPECT_TRUE(S_ISFIFO(StatOf(At("fifo")).st_mode));
    EXPECT_TRUE(WriteFileBytes("/dev/null", Text("gone")));
    EXPECT_EQ(WriteFileBytes("/dev/full", Text("no room")).Detail(), "No space left on device");
    for (const char* device : {"/dev/null", "/dev/full"}) EXPECT_TRUE(S_ISCHR(StatOf(device).st_mode)) << device;
    fs::create_directory(At("folder"));
    EXPECT_EQ(WriteFileBytes(At("folder"), Text("x")).Detail(), "is a directory");
    // A temporary file name that an older writer used is no way to write somewhere else.
    dir.Write("victim", Text("someone else's"));
    dir.Write("light.lgt", Text("old light"));
    fs::create_symlink(At("victim"), At("light.lgt.partial"));  // a name an older writer used
    ASSERT_TRUE(WriteFileBytes(At("light.lgt"), Text("new light")));
    EXPECT_EQ(testing::ReadAll(At("victim")), Text("someone else's"));
    // Past a file size limit the write fails instead of dying of SIGXFSZ, and the old file stays whole.
    const auto names = FileNames(dir.Path());
    EXPECT_EQ(InChild([&] {
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return !WriteFileBytes(At("light.lgt"), Bytes(1000, 1)).Ok();
    }), 0);
    EXPECT_EQ(testing::ReadAll(At("light.lgt")), Text("new light"));
    EXPECT_EQ(FileNames(dir.Path()), names);
    // A disk too full for the new bytes leaves the old file whole, hard-linked or not: replaced, or written in
    // place (asked for, with one name) with the room reserved before the old bytes go. A handle opened before
    // reads the new bytes after.
    fs::create_hard_link(dir.Write("linked.lgt", Text("new light")), At("second.lgt"));
    for (const char* name : {"light.lgt", "linked.lgt"})
        for (WriteMode mode : {WriteMode::Replace, WriteMode::InPlaceWhenExists}) {
            EXPECT_EQ(InChild([&] {
                const rlimit limit{100, 100};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                return !WriteFileBytes(At(name), Bytes(1000, 1), mode).Ok();
            }), 0) << name;
            EXPECT_EQ(testing::ReadAll(At(name)), Text("new light")) << name;
        }
    EXPECT_EQ(testing::ReadAll(At("second.lgt")), Text("new light"));
    const int held = ::open(dir.Write("thumb.png", Text("created by the caller")).c_str(), O_RDONLY);
    ASSERT_TRUE(WriteFileBytes(At("thumb.png"), Text("picture"), WriteMode::InPlaceWhenExists));
    char seen[16] = {};
    EXPECT_EQ(std::string(seen, static_cast<size_t>(::pread(held, seen, sizeof seen, 0))), "picture");
    ::close(held);
    // Ended by a signal in the middle of a long write, the writer leaves no temporary file behind.
    const auto before = FileNames(dir.Path());
    const Bytes big(size_t{512} << 20, 7);  // made before the child, so the child starts writing at once
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(WriteFileBytes(At("big.glb"), big).Ok() ? 0 : 1);
    ::usleep(100000);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    auto after = FileNames(dir.Path());
    after.erase("big.glb");  // when the write finished first
    EXPECT_EQ(after, before);
}

TEST_F(FileIo, ASetOfFilesIsWrittenWholeOrNotAtAll) {
    for (const char* name : {"a", "c"}) dir.Write(name, Text(std::string("old ") + name));
    fs::create_directory(At("b"));
    const Bytes fresh = Text("new");
    const FileToWrite blocked[] = {{At("a"), fresh}, {At("b"), fresh}, {At("c"), fresh}};
    auto names = FileNames(dir.Path());
    const Status refused = WriteFileSet(blocked);
    EXPECT_EQ(refused.Detail(), At("b").string() + ": is a directory");
    for (const char* name : {"a", "c"}) EXPECT_EQ(testing::ReadAll(At(name)), Text(std::string("old ") + name));
    EXPECT_EQ(FileNames(dir.Path()), names);
    // One that fails only as it takes its place, when the others are already in theirs: in a shared folder (sticky,
    // as /tmp is), someone else's file that we may write but not replace. Those in place are put back.
    fs::create_directory(At("shared"));
    fs::permissions(At("shared"), fs::perms(01777));
    dir.Write("shared/mine", Text("old mine"));
    dir.Write("shared/new", {});
    fs::remove(At("shared/new"));  // gone again: the set makes it, then must take it away
    fs::permissions(dir.Write("shared/theirs", Text("old theirs")), fs::perms(0666));
    ASSERT_TRUE(::getuid() != 0 || ::chown(At("shared/mine").c_str(), 65534, 65534) == 0);
    names = FileNames(At("shared"));
    const FileToWrite shared[] = {{At("shared/mine"), fresh}, {At("shared/new"), fresh}, {At("shared/theirs"), fresh}};
    const int verdict = InChild([&] {
        if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        const Status s = WriteFileSet(shared);
        return !s && s.Detail() == At("shared/theirs").string() + ": Operation not permitted";
    });
    if (verdict == 77) GTEST_SKIP() << "running as root and cannot become nobody";
    if (::getuid() != 0) GTEST_SKIP() << "someone else's file needs root to make";
    EXPECT_EQ(verdict, 0);
    EXPECT_EQ(testing::ReadAll(At("shared/mine")), Text("old mine"));
    EXPECT_EQ(testing::ReadAll(At("shared/theirs")), Text("old theirs"));
    EXPECT_EQ(FileNames(At("shared")), names);
}

TEST_F(FileIo, AStreamedFileTakesItsPlaceOnlyWhenFinished) {
    fs::create_hard_link(dir.Write("out", Text("old")), At("other"));
    const auto names = FileNames(dir.Path());
    const auto stream = [&](const fs::path& path, bool finish) {
        auto file = StreamedFile::Create(path);
        EXPECT_TRUE(file) << file.Detail();
        if (!file) return Status(file.Why());
        for (const char* piece : {"hello", " ", "world"}) EXPECT_TRUE(file.Value().Append(Text(piece)));
        EXPECT_TRUE(file.Value().Overwrite(0, Text("J")));
        EXPECT_FALSE(file.Value().Overwrite(10, Text("xy"))) << "only over what was written";
        EXPECT_EQ(file.Value().Size(), 11u);
        if (path == At("out")) {
            EXPECT_EQ(testing::ReadAll(At("out")), Text("old")) << "untouched while it is made";
            EXPECT_EQ(FileNames(dir.Path()), names);
        }
        if (!finish) return Status();
        Status done = file.Value().Finish();
        EXPECT_FALSE(file.Value().Finish()) << "once";
        return done;
    };
    ASSERT_TRUE(stream(At("out"), false));
    EXPECT_EQ(testing::ReadAll(At("out")), Text("old")) << "dropped unfinished";
    EXPECT_EQ(FileNames(dir.Path()), names);
    ASSERT_TRUE(stream(At("out"), true));
    EXPECT_EQ(testing::ReadAll(At("out")), Text("Jello world"));
    EXPECT_EQ(testing::ReadAll(At("other")), Text("old"));
    EXPECT_EQ(FileNames(dir.Path()), names);
    // A FIFO gets the finished bytes, header patched; so does a device.
    ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);
    Bytes received;
    std::thread reader([&] { received = testing::ReadAll(At("fifo")); });
    while (!stream(At("fifo"), true)) std::this_thread::yield();
    reader.join();
    EXPECT_EQ(received, Text("Jello world"));
    EXPECT_TRUE(stream("/dev/null", true));
    EXPECT_EQ(stream("/dev/full", true).Detail(), "No space left on device");
    EXPECT_EQ(StreamedFile::Create(dir.Path()).Why().detail, "is a directory");
}

TEST_F(FileIo, PermissionsDecideAsTheyWouldForAnOrdinaryWrite) {
    // A writable file in a folder that takes no new file is written in place; a read-only one is left alone.
    fs::create_directory(At("locked"));
    dir.Write("locked/mine", Text("old"));
    dir.Write("readonly", Text("keep"));
    // Root ignores permissions, so as root the files go to nobody and nobody writes.
    for (auto [name, mode] : {std::pair{"readonly", 0444}, {"locked/mine", 0600}, {"locked", 0555}}) {
        ASSERT_TRUE(::getuid() != 0 || ::chown(At(name).c_str(), 65534, 65534) == 0) << name;
        fs::permissions(At(name), fs::perms(mode));
    }
    const int verdict = InChild([&] {
        if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        return WriteFileBytes(At("locked/mine"), Text("new")).Ok() && !WriteFileBytes(At("readonly"), Text("lost")) &&
               !WriteFileBytes(At("locked/new"), Text("x"));
    });
    if (verdict == 77) GTEST_SKIP() << "running as root and cannot become nobody";
    EXPECT_EQ(verdict, 0);
    EXPECT_EQ(testing::ReadAll(At("locked/mine")), Text("new"));
    EXPECT_EQ(testing::ReadAll(At("readonly")), Text("keep"));
    EXPECT_EQ(FileNames(At("locked")), std::set<std::string>{"mine"});
}

}  // namespace
}  // namespace meshara
