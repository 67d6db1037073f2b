#include "platform/core/PlistBudget.h"

#include "platform/core/PropertyList.h"

#include <vector>

namespace core::plist {

namespace {

constexpr std::uint64_t kNodeOverhead = 16; // what a node costs beyond its payload, roughly

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

class Walker {
public:
    Walker(std::string_view bytes, ExpansionBudget budget)
        : data_(reinterpret_cast<const std::uint8_t*>(bytes.data())), size_(bytes.size()), budget_(budget) {}

    std::optional<std::string> run() {
        constexpr std::size_t kHeader = 8, kTrailer = 32;
        if (size_ < kHeader + kTrailer) return "binary property list too short";
        const std::size_t trailer = size_ - kTrailer;
        offsetSize_ = data_[trailer + 6];
        refSize_ = data_[trailer + 7];
        std::uint64_t top = 0, tableOffset = 0;
        if (!readUInt(trailer + 8, 8, count_) || !readUInt(trailer + 16, 8, top) || !readUInt(trailer + 24, 8, tableOffset))
            return "binary property list trailer unreadable";
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return "binary property list has bad sizes";
        if (count_ == 0 || top >= count_ || tableOffset < kHeader || tableOffset > trailer ||
            count_ > (trailer - tableOffset) / offsetSize_)
            return "binary property list has a bad object table";
        tableOffset_ = tableOffset;
        state_.assign(count_, 0);
        nodes_.assign(count_, 0);
        bytes_.assign(count_, 0);
        if (auto problem = visit(top, 0)) return problem;
        return std::nullopt;
    }

private:
    bool readUInt(std::size_t at, unsigned width, std::uint64_t& out) const {
        if (width == 0 || width > 8 || at > size_ || size_ - at < width) return false;
        out = 0;
        for (unsigned i = 0; i < width; ++i) out = (out << 8) | data_[at + i];
        return true;
    }

    // `units` big-endian UTF-16 code units at `at`, with every surrogate in a pair.
    bool isUtf16(std::size_t at, std::uint64_t units) const {
        if (at > size_ || units > (size_ - at) / 2) return false;
        for (std::uint64_t i = 0; i < units; ++i) {
            const unsigned unit = (data_[at + 2 * i] << 8) | data_[at + 2 * i + 1];
            if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (++i >= units) return false;
                const unsigned next = (data_[at + 2 * i] << 8) | data_[at + 2 * i + 1];
                if (next < 0xDC00 || next > 0xDFFF) return false;
            }
        }
        return true;
    }

    bool isText(std::uint64_t object) const {
        std::uint64_t offset = 0;
        if (object >= count_ || !readUInt(tableOffset_ + object * offsetSize_, offsetSize_, offset) || offset < 8 ||
            offset >= tableOffset_)
            return false;
        const unsigned type = data_[offset] >> 4;
        if (type != 0x5 && type != 0x6 && type != 0x7) return false;
        // Nor may a key hold a NUL: the parser underneath asserts that a key is a C string.
        std::uint64_t count = 0;
        std::size_t start = 0;
        if (!countAt(offset, data_[offset] & 0x0F, count, start)) return false;
        const std::uint64_t length = type == 0x6 ? saturatingAdd(count, count) : count;
        if (start > size_ || length > size_ - start) return false;
        if (type == 0x6) {
            for (std::uint64_t i = 0; i + 1 < length; i += 2)
                if (data_[start + i] == 0 && data_[start + i + 1] == 0) return false;
            return true;
        }
        for (std::uint64_t i = 0; i < length; ++i)
            if (data_[start + i] == 0) return false;
        return true;
    }

    // The count of an object whose marker's low nibble is `low`, and where its content starts.
    bool countAt(std::size_t at, std::uint8_t low, std::uint64_t& count, std::size_t& start) const {
        start = at + 1;
        if (low != 0xF) {
            count = low;
            return true;
        }
        if (start >= size_ || (data_[start] & 0xF0) != 0x10) return false;
        unsigned width = 1u << (data_[start] & 0x0F);
        if (!readUInt(start + 1, width, count)) return false;
        start += 1 + width;
        return true;
    }

    std::optional<std::string> visit(std::uint64_t object, int depth) {
        if (depth > kMaxDepth) return "property list is nested too deeply";
        if (object >= count_) return "binary property list refers to a missing object";
        if (state_[object] == 2) return std::nullopt;
        if (state_[object] == 1) return "binary property list refers to itself";
        state_[object] = 1;
        std::uint64_t offset = 0;
        if (!readUInt(tableOffset_ + object * offsetSize_, offsetSize_, offset) || offset < 8 || offset >= tableOffset_)
            return "binary property list has a bad object offset";
        const std::size_t at = offset;
        const std::uint8_t marker = data_[at];
        const std::uint8_t low = marker & 0x0F;
        std::uint64_t nodes = 1, bytes = kNodeOverhead;
        switch (marker >> 4) {
        case 0x0: case 0x1: case 0x2: case 0x3: case 0x8: break; // scalars: fixed, small sizes
        case 0x4: case 0x5: case 0x6: case 0x7: { // data and texts: their payload
            std::uint64_t count = 0;
            std::size_t start = 0;
            if (!countAt(at, low, count, start)) return "binary property list has a bad length";
            bytes = saturatingAdd(bytes, (marker >> 4) == 0x6 ? saturatingAdd(count, count) : count);
            // The parser underneath mishandles UTF-16 it cannot convert (a lone surrogate).
            if ((marker >> 4) == 0x6 && !isUtf16(start, count)) return "binary property list has a text that is not UTF-16";
            break;
        }
        case 0xA: case 0xB: case 0xC: case 0xD: { // arrays, sets and dictionaries: their members
            std::uint64_t count = 0;
            std::size_t start = 0;
            if (!countAt(at, low, count, start)) return "binary property list has a bad length";
            const std::uint64_t refs = (marker >> 4) == 0xD ? saturatingAdd(count, count) : count;
            if (start > size_ || refs > (size_ - start) / refSize_) return "binary property list has a bad collection";
            for (std::uint64_t i = 0; i < refs; ++i) {
                std::uint64_t child = 0;
                readUInt(start + i * refSize_, refSize_, child);
                // A key must be a text: the parser underneath aborts the process on any other.
                if ((marker >> 4) == 0xD && i < count && !isText(child)) return "binary property list has a key that is not a text without NUL";
                if (auto problem = visit(child, depth + 1)) return problem;
                nodes = saturatingAdd(nodes, nodes_[child]);
                bytes = saturatingAdd(bytes, bytes_[child]);
                if (nodes > budget_.nodes || bytes > budget_.bytes) break;
            }
            break;
        }
        default: return "binary property list holds an unknown object";
        }
        if (nodes > budget_.nodes || bytes > budget_.bytes)
            return "property list would expand to more than " + std::to_string(budget_.nodes) + " nodes or " +
                   std::to_string(budget_.bytes) + " bytes";
        nodes_[object] = nodes;
        bytes_[object] = bytes;
        state_[object] = 2;
        return std::nullopt;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    ExpansionBudget budget_;
    unsigned offsetSize_ = 0, refSize_ = 0;
    std::uint64_t count_ = 0, tableOffset_ = 0;
    std::vector<std::uint8_t> state_; // 0 not seen, 1 being walked, 2 done
    std::vector<std::uint64_t> nodes_, bytes_;
};

} // namespace

std::optional<std::string> checkBinaryExpansion(std::string_view bytes, ExpansionBudget budget) {
    if (bytes.substr(0, 8) != "bplist00") return std::nullopt;
    return Walker(bytes, budget).run();
}

} // namespace core::plist
