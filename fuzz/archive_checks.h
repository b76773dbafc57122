#pragma once
// What both archive fuzz targets ask of an archive the reader accepts.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/archive.h"

namespace meshara::fuzzing {

// Entries past the first few, and bytes past the first of each, teach the
// fuzzer nothing new and only slow it down.
constexpr size_t kEntriesChecked = 64;
constexpr uint64_t kLargestRead = uint64_t{1} << 20;

inline void CheckArchive(std::span<const uint8_t> bytes) {
    auto archive = Archive::Read(bytes);
    if (!archive) return;
    const Archive& a = archive.Value();
    if (a.Count() > kMaxArchiveEntries) std::abort();
    // The models are the entries whose names say so, in order.
    const std::vector<size_t> models = a.Models();
    size_t listed = 0;
    for (size_t i = 0; i < a.Count(); ++i)
        if (NamesModel(a.Entry(i).name) && (listed == models.size() || models[listed++] != i)) std::abort();
    if (listed != models.size()) std::abort();
    for (size_t i = 0; i < a.Count() && i < kEntriesChecked; ++i) {
        const ArchiveEntry entry = a.Entry(i);
        const auto found = a.Find(entry.name);
        if (!found || *found > i || !SameEntryName(a.Entry(*found).name, entry.name)) std::abort();
        auto reader = a.OpenEntry(i, kLargestRead);
        if (!reader) {
            if (entry.size <= kLargestRead && a.Kind() == ArchiveKind::Pak) std::abort();  // a PAK entry is only bytes
            continue;
        }
        std::vector<uint8_t> read;
        while (read.size() < entry.size) {
            const size_t before = read.size();
            if (!reader.Value()->ReadMore(read, 4096) || read.size() == before) break;
        }
        if (read.size() > entry.size || reader.Value()->Position() > reader.Value()->Size()) std::abort();
    }
}

}  // namespace meshara::fuzzing
