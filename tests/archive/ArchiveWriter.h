// Test fixtures for the archive library: codes members in memory with the codec's encoder, writes
// archives (packed names, records sorted by key, members after the directory), and gives each
// test a scratch folder of its own.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace archive_test {

using Key = std::array<unsigned char, 8>;

/// The directory key of an 8.3 name (upper-case expected): 6 bytes of packed base name, the
/// base-38 extension number big-endian.
Key PackKey(const std::string& name);

/// A coded member: signature, blocks of 16,384 input bytes through CompressBlock, end mark.
std::string CodeMember(const std::string& plain);

struct Entry {
    std::string name;    ///< 8.3 name, upper case
    std::string stored;  ///< the member's bytes as stored (coded or plain)
};

/// An archive of the given members: "POD BAY", two zero bytes, the count, the records sorted by key,
/// then the members in that order. `count` replaces the header's count when not negative.
std::string BuildArchive(std::vector<Entry> entries, long long count = -1);

/// Offset of directory record i in an archive.
inline std::size_t RecordAt(std::size_t i) { return 13 + 15 * i; }

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

/// Random bytes, bytes with long runs and repeats, and text-like bytes, from a fixed seed.
std::string RandomBytes(std::size_t size, unsigned seed);
std::string RepetitiveBytes(std::size_t size, unsigned seed);
std::string TextBytes(std::size_t size, unsigned seed);

/// A scratch folder removed again when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace archive_test
