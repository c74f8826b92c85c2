// Writes seeded mutants of version-resource files: byte flips, 16/32-bit
// field overwrites with boundary values, truncations and extensions, most of
// them aimed at the PE headers, the section table, the resource directory
// and the version tree.
//   make_mutants SEED COUNT OUTDIR SOURCE...
// SOURCE is a file or a folder of files. Sources are taken in order of base
// name; mutant i is the (i / n)-th mutant of source i % n. It is named
// s<SEED>-<k>-<source name> and depends only on the seed, k and the source's
// name and bytes, so the same name always holds the same bytes, on every
// machine, whatever other sources are given. Prints the path of each
// mutant, in the order made.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// splitmix64: small, and the same sequence from every compiler.
struct Random {
    uint64_t state;
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : uint32_t(Next() % n); }
};

uint64_t Fnv1a(const std::string &s)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s)
        h = (h ^ c) * 0x100000001b3ull;
    return h;
}

uint32_t Get(const Bytes &b, uint64_t at, int width)
{
    uint32_t v = 0;
    for (int i = 0; i < width; i++)
        v |= at + i < b.size() ? uint32_t(b[at + i]) << (8 * i) : 0;
    return v;
}

void Put(Bytes &b, uint64_t at, int width, uint32_t v)
{
    for (int i = 0; i < width && at + i < b.size(); i++)
        b[at + i] = uint8_t(v >> (8 * i));
}

struct Field {
    uint32_t at;
    int width;
};

struct Span {
    uint32_t begin, end;
    uint32_t Pick(Random &r) const { return begin + r.Below(end - begin); }
};

// What the mutations aim at: the fields a reader trusts, and the spans
// around them.
struct Targets {
    std::vector<Field> fields;
    std::vector<Span> spans;
    // `count` fields one after the other.
    void AddField(const Bytes &b, uint64_t at, int width, int count = 1)
    {
        for (int i = 0; i < count && at + width * (i + 1) <= b.size(); i++)
            fields.push_back({uint32_t(at + width * i), width});
    }
    void AddSpan(const Bytes &b, uint64_t begin, uint64_t end)
    {
        end = std::min<uint64_t>(end, b.size());
        if (begin < end)
            spans.push_back({uint32_t(begin), uint32_t(end)});
    }
};

// The version tree's nodes: wLength, wValueLength and wType of each, in the
// 32-bit layout (key in UTF-16, value and children on 4-byte boundaries).
void FindNodes(const Bytes &b, uint64_t at, uint64_t end, int depth, Targets &t)
{
    while (depth < 5 && at + 6 <= end && t.fields.size() < 2000) {
        uint32_t length = Get(b, at, 2);
        if (length < 6 || at + length > end)
            return;
        t.AddField(b, at, 2, 3);
        uint64_t p = at + 6;
        while (p + 2 <= at + length && Get(b, p, 2) != 0)
            p += 2;
        p = (p + 2 + 3) & ~uint64_t(3);
        uint32_t value = Get(b, at + 2, 2) * (Get(b, at + 4, 2) == 1 ? 2 : 1);
        if (depth == 0 && value >= 52)
            t.AddField(b, p, 4, 13); // the fixed record's words
        FindNodes(b, (p + value + 3) & ~uint64_t(3), at + length, depth + 1, t);
        at = (at + length + 3) & ~uint64_t(3);
    }
}

Targets FindTargets(const Bytes &b)
{
    Targets t;
    t.AddSpan(b, 0, 64);
    t.AddField(b, 0, 2);
    t.AddField(b, 60, 4);
    uint64_t nt = Get(b, 60, 4);
    if (b.size() < 64 || nt + 24 > b.size() || Get(b, nt, 4) != 0x4550)
        return t;
    uint32_t sections = Get(b, nt + 6, 2), optional_size = Get(b, nt + 20, 2);
    uint64_t opt = nt + 24, table = opt + optional_size;
    uint64_t directories = opt + (Get(b, opt, 2) == 0x20b ? 112 : 96);
    t.AddSpan(b, nt, table);
    for (uint64_t at : {nt + 6, nt + 20, nt + 22, opt})
        t.AddField(b, at, 2);
    for (uint64_t at : {opt + 32, opt + 36, opt + 56, opt + 60, directories - 4, directories + 16,
                        directories + 20})
        t.AddField(b, at, 4);
    t.AddSpan(b, table, table + 40ull * std::min(sections, 96u));
    uint32_t resource_rva = Get(b, directories + 16, 4);
    int64_t rva_to_file = -1;
    uint64_t resource_end = 0;
    for (uint32_t i = 0; i < sections && i < 96; i++) {
        uint64_t s = table + 40ull * i;
        for (int at : {8, 12, 16, 20, 36})
            t.AddField(b, s + at, 4);
        uint32_t rva = Get(b, s + 12, 4), raw = Get(b, s + 16, 4), file = Get(b, s + 20, 4);
        if (resource_rva >= rva && resource_rva - rva < raw) {
            rva_to_file = int64_t(file) - int64_t(rva);
            resource_end = uint64_t(file) + raw;
        }
    }
    if (rva_to_file < 0)
        return t;
    // The resource directory, three levels, each directory visited once.
    uint64_t root = uint64_t(rva_to_file + resource_rva);
    std::vector<std::pair<uint64_t, int>> pending = {{root, 0}};
    std::vector<uint64_t> seen;
    while (!pending.empty() && seen.size() < 64) {
        auto [dir, level] = pending.back();
        pending.pop_back();
        if (std::find(seen.begin(), seen.end(), dir) != seen.end() || dir + 16 > b.size())
            continue;
        seen.push_back(dir);
        t.AddField(b, dir + 12, 2, 2);
        uint32_t entries = std::min(Get(b, dir + 12, 2) + Get(b, dir + 14, 2), 32u);
        t.AddSpan(b, dir, dir + 16 + 8ull * entries);
        for (uint32_t e = 0; e < entries; e++) {
            uint64_t entry = dir + 16 + 8ull * e;
            t.AddField(b, entry, 4, 2);
            uint32_t target = Get(b, entry + 4, 4);
            uint64_t at = root + (target & 0x7fffffffu);
            if (target & 0x80000000u) {
                if (level < 2)
                    pending.push_back({at, level + 1});
                continue;
            }
            if (at + 16 > resource_end)
                continue;
            t.AddField(b, at, 4, 2);
            t.AddSpan(b, at, at + 16);
            uint64_t data = uint64_t(rva_to_file + Get(b, at, 4)), size = Get(b, at + 4, 4);
            if (data < b.size()) {
                t.AddSpan(b, data, std::min<uint64_t>(data + size, data + 512));
                FindNodes(b, data, std::min<uint64_t>(data + size, b.size()), 0, t);
            }
        }
    }
    return t;
}

uint32_t BoundaryValue(Random &r, uint32_t old, uint32_t file_size)
{
    static const uint32_t kValues[] = {0,          1,           2,           4,      0x7f,
                                       0x80,       0xff,        0x7fff,      0x8000, 0xffff,
                                       0x7fffffff, 0x80000000u, 0xffffffffu, 0x1000, 0x10000};
    switch (r.Below(6)) {
    case 0:
    case 1:
        return kValues[r.Below(sizeof kValues / sizeof kValues[0])];
    case 2:
        return old + 1 - 2 * r.Below(2);
    case 3:
        return old + 4 - 8 * r.Below(2);
    case 4:
        return file_size + 1 - r.Below(3);
    default:
        return r.Below(2) ? old * 2 : old ^ 0x80000000u;
    }
}

void Mutate(Bytes &b, Random &r)
{
    Targets t = FindTargets(b);
    unsigned kind = r.Below(100);
    if (kind < 45 && !t.fields.empty()) {
        Field f = t.fields[r.Below(uint32_t(t.fields.size()))];
        Put(b, f.at, f.width, BoundaryValue(r, Get(b, f.at, f.width), uint32_t(b.size())));
    } else if (kind < 80 && !b.empty()) {
        // Inside an aimed-at span three times in four, else anywhere.
        Span s = {0, uint32_t(b.size())};
        if (!t.spans.empty() && r.Below(4) != 0)
            s = t.spans[r.Below(uint32_t(t.spans.size()))];
        uint32_t at = s.Pick(r);
        if (kind < 65)
            b[at] ^= uint8_t(1u << r.Below(8));
        else
            Put(b, at & ~1u, 2 << r.Below(2),
                BoundaryValue(r, Get(b, at & ~1u, 4), uint32_t(b.size())));
    } else if (kind < 92 && !b.empty()) {
        // Cut at an aimed-at spot, or within the last kilobyte.
        uint32_t cut =
            uint32_t(b.size()) - 1 - r.Below(std::min<uint32_t>(uint32_t(b.size()), 1024));
        if (!t.spans.empty() && r.Below(2) != 0)
            cut = t.spans[r.Below(uint32_t(t.spans.size()))].Pick(r);
        b.resize(cut);
    } else {
        uint8_t fill = r.Below(2) ? 0 : uint8_t(r.Next());
        b.resize(b.size() + 1 + r.Below(4096), fill);
    }
}

std::string BaseName(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A folder's regular files (not those whose names begin with a dot), or
// `path` itself.
void AddSources(const std::string &path, std::vector<std::string> &sources)
{
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        sources.push_back(path);
        return;
    }
    for (const auto &e : std::filesystem::directory_iterator(path, error))
        if (e.path().filename().string()[0] != '.' && e.is_regular_file(error))
            sources.push_back(path + "/" + e.path().filename().string());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: make_mutants SEED COUNT OUTDIR SOURCE...\n");
        return 2;
    }
    const uint64_t seed = std::strtoull(argv[1], nullptr, 10);
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    const std::string out = argv[3];
    std::vector<std::string> sources;
    for (int i = 4; i < argc; i++)
        AddSources(argv[i], sources);
    std::ranges::sort(sources, {}, BaseName);
    std::vector<Bytes> contents;
    for (const std::string &source : sources) {
        std::ifstream in(source, std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.is_open()) {
            std::fprintf(stderr, "make_mutants: cannot read %s\n", source.c_str());
            return 1;
        }
    }
    if (sources.empty())
        return 1;
    for (unsigned long i = 0; i < count; i++) {
        const std::string name = BaseName(sources[i % sources.size()]);
        const unsigned long k = i / sources.size();
        Random r{seed * 0xD1B54A32D192ED03ull ^ Fnv1a(name) ^ (uint64_t(k) << 32)};
        Bytes b = contents[i % sources.size()];
        for (unsigned m = 1 + r.Below(3); m > 0; m--)
            Mutate(b, r);
        char prefix[48];
        std::snprintf(prefix, sizeof prefix, "s%llu-%04lu-", (unsigned long long)seed, k);
        const std::string path = out + "/" + prefix + name;
        std::ofstream file(path, std::ios::binary);
        if (!file.write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size())) ||
            !file.flush()) {
            std::fprintf(stderr, "make_mutants: cannot write into %s\n", out.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
