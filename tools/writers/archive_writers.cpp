#include "tools/writers/archive_writers.h"

#include <zlib.h>

#include "tools/writers/byte_writer.h"

namespace meshara::fixtures {

std::vector<uint8_t> WritePak(const std::vector<ArchiveFile>& files) {
    ByteWriter w;
    w.Text("PACK");
    w.Zeros(8);
    std::vector<uint32_t> offsets;
    for (const ArchiveFile& f : files) {
        offsets.push_back(static_cast<uint32_t>(w.Size()));
        w.Append(f.bytes);
    }
    const size_t directory = w.Size();
    for (size_t i = 0; i < files.size(); ++i) {
        w.FixedText(files[i].name.substr(0, 55), 56);
        w.U32(offsets[i]);
        w.U32(static_cast<uint32_t>(files[i].bytes.size()));
    }
    w.PatchU32(pakfield::kDirectoryOffset, static_cast<uint32_t>(directory));
    w.PatchU32(pakfield::kDirectoryLength, static_cast<uint32_t>(files.size() * 64));
    return w.Bytes();
}

size_t pakfield::RecordAt(const std::vector<uint8_t>& pak, size_t i) {
    const size_t directory = pak[4] | (pak[5] << 8) | (pak[6] << 16) | (size_t{pak[7]} << 24);
    return directory + 64 * i;
}

namespace {

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& bytes) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);  // raw: no zlib header
    std::vector<uint8_t> out(deflateBound(&z, bytes.size()));
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

std::vector<uint8_t> WriteZip(const std::vector<ArchiveFile>& files, const ZipOptions& options) {
    const bool deflate = options.deflate;
    ByteWriter w;
    struct Written {
        uint32_t offset, crc, packed, size;
        uint16_t method;
    };
    std::vector<Written> written;
    for (const ArchiveFile& f : files) {
        const std::vector<uint8_t> data = deflate ? Deflate(f.bytes) : f.bytes;
        uint32_t crc = static_cast<uint32_t>(crc32(0, f.bytes.data(), static_cast<uInt>(f.bytes.size())));
        if (f.badChecksum) crc ^= 1;
        const Written entry{static_cast<uint32_t>(w.Size()), crc, static_cast<uint32_t>(data.size()),
                            f.claimedSize.value_or(static_cast<uint32_t>(f.bytes.size())),
                            static_cast<uint16_t>(deflate ? 8 : 0)};
        written.push_back(entry);
        w.Text("PK\x03\x04");
        for (uint16_t v : {uint16_t{20}, uint16_t{0}, entry.method, uint16_t{0}, uint16_t{0x21}}) w.U16(v);
        for (uint32_t v : {entry.crc, entry.packed, entry.size}) w.U32(v);
        w.U16(static_cast<uint16_t>(f.name.size()));
        w.U16(0);
        w.Text(f.name);
        w.Append(data);
    }
    const size_t directory = w.Size();
    for (size_t i = 0; i < files.size(); ++i) {
        const Written& e = written[i];
        w.Text("PK\x01\x02");
        for (uint16_t v : {uint16_t{20}, uint16_t{20}, uint16_t{0}, e.method, uint16_t{0}, uint16_t{0x21}}) w.U16(v);
        for (uint32_t v : {e.crc, e.packed, e.size}) w.U32(v);
        w.U16(static_cast<uint16_t>(files[i].name.size()));
        w.Zeros(2 + 2 + 2 + 2 + 4);  // extra, comment, disk, internal and external attributes
        w.U32(e.offset);
        w.Text(files[i].name);
    }
    const size_t directorySize = w.Size() - directory;
    const uint64_t entries = options.claimedEntries.value_or(files.size());
    const auto u64 = [&w](uint64_t v) {
        w.U32(static_cast<uint32_t>(v));
        w.U32(static_cast<uint32_t>(v >> 32));
    };
    if (options.zip64End) {
        const size_t end64 = w.Size();
        w.Text("PK\x06\x06");
        u64(44);  // the record's size after this field
        w.U16(45);
        w.U16(45);
        w.Zeros(8);  // this disk, the directory's disk
        u64(entries);
        u64(entries);
        u64(directorySize);
        u64(directory);
        w.Text("PK\x06\x07");
        w.Zeros(4);
        u64(end64);
        w.U32(1);
    }
    w.Text("PK\x05\x06");
    w.Zeros(4);
    const uint16_t count = options.zip64End ? 0xFFFF : static_cast<uint16_t>(entries);
    w.U16(count);
    w.U16(count);
    w.U32(options.zip64End ? 0xFFFFFFFF : static_cast<uint32_t>(directorySize));
    w.U32(options.zip64End ? 0xFFFFFFFF : static_cast<uint32_t>(directory));
    w.U16(0);
    return w.Bytes();
}

}  // namespace meshara::fixtures
