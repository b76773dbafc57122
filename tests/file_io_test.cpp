// Reading and writing files the way users' folders really are: folders,
// FIFOs, sockets and devices where a file was expected, symbolic and hard
// links, permissions, size limits. Nothing may block, balloon, or replace
// what it should write into.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <thread>

#include "formats/lgt_file.h"
#include "formats/md2_file.h"
#include "formats/skin_decoder.h"
#include "io/file_bytes.h"
#include "session/messages.h"
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

void Put(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// Leftovers of the writer: any name in the folder that nobody asked for.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Runs body in a child process as an ordinary user (nobody) when the tests
// run as root, since root ignores the permissions these cases are about.
// Returns the child's verdict; 77 means privileges could not be dropped.
int AsOrdinaryUser(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

#define EXPECT_AS_ORDINARY_USER(body)                                                   \
    do {                                                                                \
        const int verdict = AsOrdinaryUser(body);                                       \
        if (verdict == 77) GTEST_SKIP() << "running as root and cannot become nobody"; \
        EXPECT_EQ(verdict, 0);                                                          \
    } while (0)

class FileIo : public ::testing::Test {
protected:
    FileIo() { fs::permissions(dir.Path(), fs::perms::all); }  // nobody works here too
    fs::path At(const std::string& name) const { return dir.Path() / name; }
    testing::TempDir dir;
};

TEST_F(FileIo, EveryReaderRefusesWhatIsNoFileAtOnceWithTheUsualMessage) {
    fs::create_directory(At("folder.md2"));
    ASSERT_EQ(::mkfifo(At("fifo.md2").c_str(), 0600), 0);  // nobody writes: opening must not wait
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", At("socket.md2").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("/dev/zero", At("zero-link.md2"));
    const struct { std::string path; const char* detail; } paths[] = {
        {At("folder.md2"), "is a directory"},
        {At("fifo.md2"), "is a FIFO (named pipe)"},
        {At("socket.md2"), "No such device or address"},  // a socket cannot even be opened
        {"/dev/zero", "is a device"},
        {At("zero-link.md2"), "is a device"},
        {At("absent.md2"), "No such file or directory"},
    };
    for (const auto& p : paths) {
        const auto model = ReadMd2File(p.path);
        const auto skin = ReadSkinImage(p.path);
        const auto light = LoadLightFile(p.path);
        for (const auto& [error, detail] : {std::pair{model.Error(), model.Detail()}, {skin.Error(), skin.Detail()},
                                            {light.Error(), light.Detail()}}) {
            EXPECT_EQ(error, ErrorKind::CannotOpen) << p.path;
            EXPECT_EQ(detail, p.detail) << p.path;
        }
    }
    ::close(sock);
    EXPECT_STREQ(UserMessage(FileKind::Model, ErrorKind::CannotOpen), msg::kCannotLoadFile);
    EXPECT_STREQ(UserMessage(FileKind::Light, ErrorKind::CannotOpen), msg::kCannotOpenLight);
    EXPECT_EQ(UserMessage(FileKind::Skin, ErrorKind::CannotOpen), nullptr) << "silent, as an unreadable skin is";
}

TEST_F(FileIo, ReadsStopAtTheSizeTheFileHadAndAtWhatTheReaderAsks) {
    const fs::path p = At("data");
    dir.Write("data", Bytes(1000, 7));
    auto file = InputFile::Open(p);
    ASSERT_TRUE(file) << file.Detail();
    Bytes got;
    ASSERT_TRUE(file.Value().ReadMore(got, 6));
    dir.Write("data", Bytes(5000, 8));  // grows while open (same inode, truncated and rewritten)
    const Status more = file.Value().ReadMore(got, uint64_t{1} << 62);
    ASSERT_TRUE(more) << more.Detail() << ": asking is not allocating";
    EXPECT_EQ(got.size(), 1000u) << "never past the size it had when opened";
}

TEST_F(FileIo, WriterReplacesAFileKeepingItsModeOwnerAndLinks) {
    struct Case {
        const char* why;
        std::function<void(const fs::path&)> setUp;  // makes "target" (and whatever points at it)
        const char* written;                          // the name the writer is given; null: 255 bytes
        bool symlinkStays;                            // "link" must still be a symbolic link
    };
    const Case cases[] = {
        {"a new file", [](const fs::path&) {}, "target", false},
        {"a 0640 file keeps its mode", [](const fs::path& d) {
             Put(d / "target", "old");
             fs::permissions(d / "target", fs::perms(0640));
         }, "target", false},
        {"a symbolic link writes its target", [](const fs::path& d) {
             Put(d / "target", "old");
             fs::create_symlink("target", d / "link");
         }, "link", true},
        {"a chain of links, the last one dangling", [](const fs::path& d) {
             fs::create_symlink("target", d / "inner");
             fs::create_symlink(d / "inner", d / "link");
         }, "link", true},
        {"a hard link keeps sharing the new bytes", [](const fs::path& d) {
             Put(d / "target", "old");
             fs::create_hard_link(d / "target", d / "link");
         }, "link", false},
        {"a name of 255 bytes", [](const fs::path&) {}, nullptr, false},
    };
    for (const Case& c : cases) {
        testing::TempDir d;
        c.setUp(d.Path());
        const std::string name = c.written ? c.written : std::string(255, 'n');
        const fs::path target = c.written ? d.Path() / "target" : d.Path() / name;
        const bool existed = fs::exists(target);
        const struct stat before = StatOf(target);
        const auto namesBefore = Names(d.Path());
        const Status written = WriteFileBytes(d.Path() / name, Text("new bytes"));
        ASSERT_TRUE(written) << c.why << ": " << written.Detail();
        EXPECT_EQ(testing::ReadAll(target), Text("new bytes")) << c.why;
        const struct stat after = StatOf(target);
        EXPECT_EQ(after.st_mode, existed ? before.st_mode : after.st_mode) << c.why;
        EXPECT_EQ(after.st_nlink > 1, before.st_nlink > 1 && existed) << c.why;
        EXPECT_EQ(S_ISLNK(StatOf(d.Path() / "link", false).st_mode), c.symlinkStays) << c.why;
        auto namesAfter = Names(d.Path());
        if (!existed) namesAfter.erase(std::find(namesAfter.begin(), namesAfter.end(), target.filename().string()));
        EXPECT_EQ(namesAfter, namesBefore) << c.why << ": no temporary file is left";
    }
    if (::getuid() == 0) {  // only root can give a file away; the replacement must keep it
        const fs::path p = At("theirs");
        dir.Write("theirs", Text("old"));
        ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
        ASSERT_TRUE(WriteFileBytes(p, Text("new")));
        EXPECT_EQ(StatOf(p).st_uid, 65534u);
        EXPECT_EQ(StatOf(p).st_gid, 65534u);
    }
}

TEST_F(FileIo, WriterWritesIntoFifosAndDevicesAndNeverReplacesThem) {
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
}

TEST_F(FileIo, AFailedWriteLeavesTheOldFileAndNoTemporaryAndFollowsNoPlantedLink) {
    dir.Write("victim", Text("someone else's"));
    dir.Write("light.lgt", Text("old light"));
    fs::create_symlink(At("victim"), At("light.lgt.partial"));  // a name an older writer used
    ASSERT_TRUE(WriteFileBytes(At("light.lgt"), Text("new light")));
    EXPECT_EQ(testing::ReadAll(At("victim")), Text("someone else's"));

    // Past a file size limit the write fails (no kill), the old file stays whole.
    const auto names = Names(dir.Path());
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(WriteFileBytes(At("light.lgt"), Bytes(1000, 1)).Ok() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must report failure";
    EXPECT_EQ(testing::ReadAll(At("light.lgt")), Text("new light"));
    EXPECT_EQ(Names(dir.Path()), names);
}

TEST_F(FileIo, PermissionsDecideAsTheyWouldForAnOrdinaryWrite) {
    // A writable file in a folder that takes no new file is written in place;
    // a read-only file in a writable folder is refused and left alone.
    fs::create_directory(At("locked"));
    dir.Write("locked/mine", Text("old"));
    dir.Write("readonly", Text("keep"));
    for (const char* name : {"locked", "locked/mine", "readonly"}) {
        if (::getuid() == 0) {
            ASSERT_EQ(::chown(At(name).c_str(), 65534, 65534), 0);
        }
    }
    fs::permissions(At("readonly"), fs::perms(0444));
    fs::permissions(At("locked/mine"), fs::perms(0600));
    fs::permissions(At("locked"), fs::perms(0555));
    EXPECT_AS_ORDINARY_USER([&] {
        return WriteFileBytes(At("locked/mine"), Text("new")).Ok() && !WriteFileBytes(At("readonly"), Text("lost")) &&
               !WriteFileBytes(At("locked/new"), Text("x"));
    });
    EXPECT_EQ(testing::ReadAll(At("locked/mine")), Text("new"));
    EXPECT_EQ(testing::ReadAll(At("readonly")), Text("keep"));
    EXPECT_EQ(Names(At("locked")), std::vector<std::string>{"mine"});
}

}  // namespace
}  // namespace meshara
