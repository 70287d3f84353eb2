// Fixtures of the archive tests: in-memory member coding, archive writing and scratch folders.
#include "ArchiveWriter.h"

#include "MemberCodec.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace archive_test {

namespace {

int Code(char c) {
    if (c >= '0' && c <= '9') return c - '0' + 1;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 11;
    return c == '_' ? 37 : 0;
}

}  // namespace

Key PackKey(const std::string& name) {
    const std::size_t dot = name.find('.');
    const std::string base = name.substr(0, std::min<std::size_t>(dot, 8));
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1, 3);
    int k[8] = {};
    for (std::size_t i = 0; i < base.size(); ++i) k[i] = Code(base[i]);
    Key key{};
    for (int g = 0; g < 2; ++g) {
        const int* c = k + 4 * g;
        key[3 * g] = static_cast<unsigned char>(c[0] << 2 | c[1] >> 4);
        key[3 * g + 1] = static_cast<unsigned char>((c[1] & 15) << 4 | c[2] >> 2);
        key[3 * g + 2] = static_cast<unsigned char>((c[2] & 3) << 6 | c[3]);
    }
    unsigned number = 0;
    for (std::size_t i = 0; i < 3; ++i) number = number * 38 + (i < ext.size() ? Code(ext[i]) : 0);
    key[6] = static_cast<unsigned char>(number >> 8);
    key[7] = static_cast<unsigned char>(number);
    return key;
}

std::string CodeMember(const std::string& plain) {
    std::string out(reinterpret_cast<const char*>(MemberSignature), kSignatureSize);
    std::vector<unsigned char> coded(kBlockSize);
    std::vector<std::int32_t> hash(kHashSlots, -1);
    for (std::size_t at = 0; at < plain.size(); at += kBlockSize) {
        const int n = int(std::min<std::size_t>(kBlockSize, plain.size() - at));
        const int r = CompressBlock(reinterpret_cast<const unsigned char*>(plain.data() + at), n, coded.data(),
                                    hash.data());
        const std::uint16_t h = std::uint16_t(std::int16_t(r));
        out += char(h & 0xFF);
        out += char(h >> 8);
        out.append(reinterpret_cast<const char*>(coded.data()), std::size_t(r < 0 ? -r : r));
    }
    out += std::string(2, '\0');
    return out;
}

std::string BuildArchive(std::vector<Entry> entries, long long count) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return PackKey(a.name) < PackKey(b.name); });
    const std::uint32_t n = count < 0 ? std::uint32_t(entries.size()) : std::uint32_t(count);
    std::string out = "POD BAY";
    out += std::string(2, '\0');
    for (int i = 0; i < 4; ++i) out += char(n >> (8 * i) & 0xFF);
    std::size_t offset = RecordAt(entries.size());
    for (const Entry& e : entries) {
        const Key key = PackKey(e.name);
        out.append(reinterpret_cast<const char*>(key.data()), key.size());
        for (int i = 0; i < 4; ++i) out += char(offset >> (8 * i) & 0xFF);
        for (int i = 0; i < 3; ++i) out += char(e.stored.size() >> (8 * i) & 0xFF);
        offset += e.stored.size();
    }
    for (const Entry& e : entries) out += e.stored;
    return out;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out) c = char(random() & 0xFF);
    return out;
}

std::string RepetitiveBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out;
    while (out.size() < size) {
        switch (random() % 3) {
        case 0:  // a run, up to beyond the longest run item
            out.append(random() % 5000 + 1, char(random() & 0xFF));
            break;
        case 1:  // a repeat of something recent, near or far
            if (!out.empty()) {
                const std::size_t back = std::min<std::size_t>(out.size(), random() % 5000 + 1);
                const std::size_t len = random() % 300 + 1;
                for (std::size_t i = 0; i < len; ++i) out += out[out.size() - back];
            }
            break;
        default:
            for (std::size_t i = random() % 20; i > 0; --i) out += char(random() & 0xFF);
        }
    }
    out.resize(size);
    return out;
}

std::string TextBytes(std::size_t size, unsigned seed) {
    static const char* const words[] = {"oil",     "filter", "check",  "brake", "fluid", "replace", "tyre",
                                        "pressure", "inspect", "belt",  "level", "wiper", "lamp",    "the",
                                        "and",      "engine",  "coolant", "air",  "spark", "plug"};
    std::mt19937 random(seed);
    std::string out;
    while (out.size() < size) {
        out += words[random() % 20];
        out += random() % 9 == 0 ? ".\r\n" : " ";
    }
    out.resize(size);
    return out;
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "arctest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace archive_test
