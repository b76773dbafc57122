#pragma once
// Archives built to hurt a reader, each with the reason it must be refused
// for: shared by the reader's tests and the command-line tests that time
// every command on them and weigh its memory.

#include <cstdint>
#include <string>
#include <vector>

namespace meshara::testing {

struct HostileArchive {
    std::string name;    // a file name with the archive's usual extension
    std::vector<uint8_t> bytes;
    std::string reason;  // a part of the refusal's detail
    std::string entry;   // the model inside that a command asks for
};

std::vector<HostileArchive> HostileArchives();

}  // namespace meshara::testing
