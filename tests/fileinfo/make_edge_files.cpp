// Copies of version-resource files with one header field at 0, 1 or a limit
// -1, +0 or +1: the file's size, SizeOfImage, the headers' (page's) end, the
// sections' starts and ends, the directory's and trees' ends, 96 sections,
// 2^31 and 2^32 - 1; as seen from its start for a field that is an offset.
//   make_edge_files OUTDIR SOURCE...   (copies: SOURCE.<offset>.<value>, hex)
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using Bytes = std::vector<uint8_t>;
using Field = std::tuple<uint64_t, int, uint32_t>; // offset, width, the start of its limits

static uint32_t Get(const Bytes &b, uint64_t at, int width)
{
    uint32_t v = 0;
    for (int i = 0; i < width; i++)
        v |= at + i < b.size() ? uint32_t(b[at + i]) << (8 * i) : 0;
    return v;
}

// The fields the reader reads, PE or NE, and the file's limits.
static std::vector<Field> Find(const Bytes &b, std::set<uint32_t> &limits)
{
    std::vector<Field> f = {{60, 4, 0}};
    const uint32_t nt = Get(b, 60, 4), opt = nt + 24, count = Get(b, nt + 6, 2);
    limits.insert({uint32_t(b.size()), 96, 0x7fffffff, 0x80000000u, 0xffffffffu});
    if (Get(b, nt, 2) == 0x454e) { // its tables, shift, first resource's offset and length
        const uint32_t table = nt + Get(b, nt + 36, 2);
        for (uint32_t at : {nt + 36, nt + 38, table, table + 10, table + 12})
            f.push_back({at, 2, 0});
        limits.insert({16, 31, 32, uint32_t(b.size()) >> Get(b, table, 2)});
        return f;
    }
    const uint32_t table = opt + Get(b, nt + 20, 2),
                   dirs = opt + (Get(b, opt, 2) == 0x20b ? 112 : 96);
    const uint32_t headers = Get(b, opt + 60, 4), rsrc = Get(b, dirs + 16, 4);
    for (uint32_t at :
         {nt + 6, nt + 20, opt + 32, opt + 36, opt + 56, opt + 60, dirs - 4, dirs + 16, dirs + 20})
        f.push_back({at, at < opt ? 2 : 4, 0});
    limits.insert({Get(b, opt + 56, 4), headers, (headers + 0xfff) & ~0xfffu, table + 40 * count,
                   rsrc + Get(b, dirs + 20, 4)});
    int64_t root = -1; // the resource directory's file offset
    for (uint32_t s = table; s < table + 40 * count && s < table + 40 * 96; s += 40) {
        const uint32_t rva = Get(b, s + 12, 4), raw = Get(b, s + 20, 4),
                       raw_size = Get(b, s + 16, 4);
        for (uint32_t at : {8, 12, 16, 20, 36})
            f.push_back({s + at, 4, 0});
        limits.insert({rva, rva + Get(b, s + 8, 4), rva + raw_size, raw, raw + raw_size});
        if (rsrc >= rva && rsrc - rva < raw_size)
            root = int64_t(raw) - rva + rsrc;
    }
    // Three levels of directories, then each data entry, its tree's root
    // ("VS_VERSION_INFO", 92 bytes with the fixed record) and first child.
    std::vector<std::pair<uint64_t, int>> left(root >= 0, {uint64_t(root), 0});
    for (int n = 0; !left.empty() && n < 64; n++) {
        const auto [dir, level] = left.back();
        left.pop_back();
        f.insert(f.end(), {{dir + 12, 2, 0}, {dir + 14, 2, 0}});
        for (uint32_t e = 0; e < Get(b, dir + 12, 2) + Get(b, dir + 14, 2) && e < 16; e++) {
            const uint32_t to = Get(b, dir + 20 + 8 * e, 4);
            f.push_back({dir + 20 + 8 * e, 4, rsrc});
            if (to >> 31 && level < 2)
                left.push_back({root + (to & 0x7fffffff), level + 1});
            const uint64_t entry = root + to, data = Get(b, entry, 4), tree = root - rsrc + data;
            if (to >> 31 || entry + 8 > b.size())
                continue;
            f.insert(f.end(), {{entry, 4, 0}, {entry + 4, 4, uint32_t(data)}});
            for (uint64_t node : {tree, tree + 92})
                f.insert(f.end(), {{node, 2, uint32_t(node)}, {node + 2, 2, 0}, {node + 4, 2, 0}});
            limits.insert({uint32_t(tree + Get(b, entry + 4, 4)), uint32_t(tree + Get(b, tree, 2)),
                           uint32_t(tree + 92 + Get(b, tree + 92, 2))});
        }
    }
    return f;
}

int main(int argc, char **argv)
{
    for (int i = 2; i < argc; i++) {
        std::ifstream in(argv[i], std::ios::binary);
        const Bytes b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const std::string name = std::string(argv[i]).substr(std::string(argv[i]).rfind('/') + 1);
        std::set<uint32_t> limits;
        for (const auto &[at, width, from] : Find(b, limits)) {
            std::set<uint32_t> values = {0, 1};
            for (uint32_t limit : limits)
                for (uint32_t v : {limit - 1, limit, limit + 1})
                    values.insert((limit >= 0x7fffffff ? v : v - from) &
                                  (width == 4 ? ~0u : 0xffff));
            for (uint32_t v : values) {
                if (v == Get(b, at, width) || at + width > b.size())
                    continue;
                Bytes x = b;
                for (int k = 0; k < width; k++)
                    x[at + k] = uint8_t(v >> (8 * k));
                char path[4096];
                std::snprintf(path, sizeof path, "%s/%s.%llx.%x", argv[1], name.c_str(),
                              static_cast<unsigned long long>(at), v);
                std::ofstream out(path, std::ios::binary);
                if (!out.write(reinterpret_cast<const char *>(x.data()), std::streamsize(x.size())))
                    return 1;
                std::printf("%s\n", path);
            }
        }
    }
    return argc < 3 ? 2 : 0;
}
