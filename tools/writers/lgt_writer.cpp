#include "tools/writers/lgt_writer.h"

#include "tools/writers/byte_writer.h"

namespace meshara::fixtures {

std::vector<uint8_t> WriteLgt(const LgtSource& s) {
    ByteWriter w;
    w.Text(s.magic);
    w.U16(static_cast<uint16_t>(s.nameLength >= 0 ? s.nameLength : static_cast<int32_t>(s.name.size())));
    w.Text(s.name);
    for (const float* v : {s.ambient, s.diffuse, s.specular, s.position, s.spotDirection})
        for (int i = 0; i < 4; ++i) w.F32(v[i]);
    for (float f : {s.constantAttenuation, s.linearAttenuation, s.quadraticAttenuation, s.spotExponent, s.spotCutoff})
        w.F32(f);
    return std::move(w.Bytes());
}

}  // namespace meshara::fixtures
