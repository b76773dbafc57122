// Game archives. Listing a PAK of 10,000 entries and 500 MB (made sparse,
// so it costs no disk) against the floor of any listing: reading its
// header and directory bytes. Opening a model from inside a PAK against
// opening the same bytes from a loose file, for the sample and the real
// models (skipped without the corpus), from a PAK the size of a model's
// folder and from the 10,000-entry one with the model as its last entry
// (the furthest a lookup goes). Everything is read from the page cache,
// and the listing also from the disk: the PAK's pages are dropped from the
// cache before each run, as for an archive not read since the machine
// started.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <iterator>
#include <string>
#include <vector>

#include "formats/archive.h"
#include "io/file_bytes.h"
#include "io/result.h"
#include "model/md2_model.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/byte_writer.h"

namespace {

namespace fs = std::filesystem;
using meshara::fixtures::ArchiveFile;

constexpr size_t kBigEntries = 10000;
constexpr uint32_t kBigEntrySize = 52000;  // 10,000 of them: 520 MB, 496 MiB

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

fs::path ModelSource(const std::string& name) {
    if (name == "knot.md2") return fs::path(MESHARA_SAMPLES_DIR) / name;
    return fs::path(MESHARA_CORPUS_DIR) / "md2" / name;
}

// The files the benchmarks read, made once in a folder of their own and
// removed at the end.
struct Files {
    fs::path dir = fs::temp_directory_path() / ("meshara-archive-bench-" + std::to_string(::getpid()));
    fs::path big = dir / "big.pak";
    fs::path folder = dir / "folder.pak";

    Files() {
        fs::create_directories(dir);
        std::vector<ArchiveFile> models;
        for (const std::string name : {"knot.md2", "sydney.md2", "faerie.md2"}) {
            std::vector<uint8_t> bytes = ReadAll(ModelSource(name));
            if (bytes.empty()) continue;
            Write(dir / name, bytes);
            models.push_back({"models/" + name, bytes});
        }
        // The folder's PAK: the models and as many pictures beside them.
        std::vector<ArchiveFile> folderFiles = models;
        for (const ArchiveFile& m : models) folderFiles.push_back({m.name + ".pcx", std::vector<uint8_t>(40000, 7)});
        Write(folder, meshara::fixtures::WritePak(folderFiles));

        // The big PAK: 10,000 entries of one size, a quarter named as models, in a
        // sparse file; the real models come last.
        meshara::fixtures::ByteWriter directory;
        uint64_t at = 12;
        char name[56];
        for (size_t i = 0; i + models.size() < kBigEntries; ++i, at += kBigEntrySize) {
            std::snprintf(name, sizeof name, i % 4 == 0 ? "models/monsters/m%04zu/tris.md2" : "textures/e%zu/w%04zu.wal",
                          i % 4 == 0 ? i : i % 7, i);
            directory.FixedText(name, 56);
            directory.U32(static_cast<uint32_t>(at));
            directory.U32(kBigEntrySize);
        }
        std::ofstream out(big, std::ios::binary);
        for (const ArchiveFile& m : models) {
            out.seekp(static_cast<std::streamoff>(at));
            out.write(reinterpret_cast<const char*>(m.bytes.data()), static_cast<std::streamsize>(m.bytes.size()));
            directory.FixedText(m.name, 56);
            directory.U32(static_cast<uint32_t>(at));
            directory.U32(static_cast<uint32_t>(m.bytes.size()));
            at += m.bytes.size();
        }
        std::vector<uint8_t> header = {'P', 'A', 'C', 'K', 0, 0, 0, 0, 0, 0, 0, 0};
        meshara::fixtures::PatchS32(header, 4, static_cast<int32_t>(at));
        meshara::fixtures::PatchS32(header, 8, static_cast<int32_t>(directory.Size()));
        out.seekp(0);
        out.write(reinterpret_cast<const char*>(header.data()), 12);
        out.seekp(static_cast<std::streamoff>(at));
        out.write(reinterpret_cast<const char*>(directory.Bytes().data()), static_cast<std::streamsize>(directory.Size()));
        out.close();
        // On the disk, so its pages can be dropped from the cache.
        const int fd = ::open(big.c_str(), O_RDONLY);
        ::fsync(fd);
        ::close(fd);
    }
    ~Files() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

// Drops the file's pages from the page cache: the next read goes to the disk.
void Evict(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// Evict, outside the time measured.
void EvictUntimed(benchmark::State& state, const std::string& path) {
    state.PauseTiming();
    Evict(path);
    state.ResumeTiming();
}

// The floor of any listing: the header and the directory bytes, read.
void BM_ReadDirectoryBytes(benchmark::State& state, bool cold) {
    const std::string path = TheFiles().big.string();
    for (auto _ : state) {
        if (cold) EvictUntimed(state, path);
        auto file = meshara::InputFile::Open(path);
        std::array<uint8_t, 12> header{};
        (void)file.Value().ReadAt(0, header);
        const uint32_t offset = header[4] | header[5] << 8 | header[6] << 16 | uint32_t{header[7]} << 24;
        const uint32_t length = header[8] | header[9] << 8 | header[10] << 16 | uint32_t{header[11]} << 24;
        // As the reader reads it: into memory not zeroed first.
        std::unique_ptr<uint8_t[]> directory(new uint8_t[length]);
        (void)file.Value().ReadAt(offset, std::span(directory.get(), length));
        benchmark::DoNotOptimize(directory.get());
    }
}

// What meshara-cli list does but print: open, and each entry's name, size
// and whether it is a model (--all lists the same entries without the test).
void BM_List(benchmark::State& state, bool cold) {
    const std::string path = TheFiles().big.string();
    for (auto _ : state) {
        if (cold) EvictUntimed(state, path);
        auto archive = meshara::Archive::Open(path);
        size_t models = 0;
        uint64_t bytes = 0;
        for (const size_t i : archive.Value().Models()) {
            ++models;
            bytes += archive.Value().Entry(i).size;
        }
        benchmark::DoNotOptimize(models + bytes);
    }
}

void BM_Open(benchmark::State& state, const std::string& name, int from) {
    const Files& files = TheFiles();
    const std::string path = from == 0 ? (files.dir / name).string()
                                       : (from == 1 ? files.folder : files.big).string() + "/models/" + name;
    if (!meshara::LoadMd2Model(path)) {
        state.SkipWithError(("cannot open " + path).c_str());
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(meshara::LoadMd2Model(path).Value().get());
}

}  // namespace

int main(int argc, char** argv) {
    for (const bool cold : {false, true}) {
        const std::string from = cold ? "/from-disk" : "/from-cache";
        // Time waiting for the disk is no processor time: the disk runs go by the clock.
        benchmark::RegisterBenchmark(("ReadDirectoryBytes/10000-entries" + from).c_str(), BM_ReadDirectoryBytes, cold)
            ->Unit(benchmark::kMicrosecond)->UseRealTime();
        benchmark::RegisterBenchmark(("List/10000-entries" + from).c_str(), BM_List, cold)
            ->Unit(benchmark::kMicrosecond)->UseRealTime();
    }
    for (const std::string name : {"knot.md2", "sydney.md2", "faerie.md2"}) {
        const char* from[] = {"loose", "folder-pak", "10000-entry-pak"};
        for (int f = 0; f < 3; ++f)
            benchmark::RegisterBenchmark(("Open/" + name + "/" + from[f]).c_str(), BM_Open, name, f)
                ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    TheFiles();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
