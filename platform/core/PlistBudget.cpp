#include "platform/core/PlistBudget.h"

#include "platform/core/PropertyList.h"

#include <algorithm>
#include <vector>

namespace core::plist {

namespace {

constexpr std::uint64_t kNodeOverhead = 16; // what a node costs beyond its payload, roughly
constexpr const char* kTooDeep = "property list is nested too deeply";

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
        heights_.assign(count_, 0);
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
        if (depth > kMaxDepth) return kTooDeep;
        if (object >= count_) return "binary property list refers to a missing object";
        // A shared object is built again wherever it is referred from, so its height counts at
        // this depth too.
        if (state_[object] == 2) return depth + heights_[object] > kMaxDepth ? std::optional<std::string>(kTooDeep) : std::nullopt;
        if (state_[object] == 1) return "binary property list refers to itself";
        state_[object] = 1;
        std::uint64_t offset = 0;
        if (!readUInt(tableOffset_ + object * offsetSize_, offsetSize_, offset) || offset < 8 || offset >= tableOffset_)
            return "binary property list has a bad object offset";
        const std::size_t at = offset;
        const std::uint8_t marker = data_[at];
        const std::uint8_t low = marker & 0x0F;
        std::uint64_t nodes = 1, bytes = kNodeOverhead;
        int height = 0;
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
                height = std::max(height, heights_[child] + 1);
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
        heights_[object] = height;
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
    std::vector<int> heights_; // levels below the object in its expanded tree
};

} // namespace

std::optional<std::string> checkBinaryExpansion(std::string_view bytes, ExpansionBudget budget) {
    if (bytes.substr(0, 8) != "bplist00") return std::nullopt;
    return Walker(bytes, budget).run();
}

// The rules below follow the parser underneath where they must agree with it exactly (a comment
// ends at the first "-->" after its "<!--", an instruction at the first "?>" from its "?", a
// character section at the first "]]>"; a tag at its first '>', which a tag without an apostrophe
// and with paired quotation marks leaves no doubt about), and refuse what they cannot be sure
// of, so that no element the parser would open goes uncounted.
std::optional<std::string> checkXmlNesting(std::string_view xml, ExpansionBudget budget) {
    if (xml.substr(0, 8) == "bplist00") return std::nullopt;
    constexpr auto npos = std::string_view::npos;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    // Views into the input: a name costs nothing however long it is.
    std::vector<std::string_view> open;
    std::uint64_t elements = 0;
    std::size_t at = 0;
    while ((at = xml.find('<', at)) != npos) {
        const std::string_view rest = xml.substr(at);
        if (rest.starts_with("<!--")) {
            const std::size_t end = xml.find("-->", at + 4);
            if (end == npos) return "XML property list has an unterminated comment";
            at = end + 3;
        } else if (rest.starts_with("<?")) {
            const std::size_t end = xml.find("?>", at + 1);
            if (end == npos) return "XML property list has an unterminated processing instruction";
            at = end + 2;
        } else if (rest.starts_with("<![CDATA[")) {
            const std::size_t end = xml.find("]]>", at + 9);
            if (end == npos) return "XML property list has an unterminated character section";
            at = end + 3;
        } else if (rest.starts_with("<!DOCTYPE")) {
            const std::size_t end = xml.find('>', at);
            if (end == npos) return "XML property list has an unterminated document type";
            const std::string_view type = xml.substr(at + 1, end - at - 1);
            if (type.find_first_of("[<'") != npos || std::count(type.begin(), type.end(), '"') % 2 != 0)
                return "XML property list has a document type with declarations";
            at = end + 1;
        } else if (rest.starts_with("<!")) {
            return "XML property list has unknown markup";
        } else {
            const std::size_t end = xml.find('>', at);
            if (end == npos) return "XML property list has an unterminated tag";
            const std::string_view tag = xml.substr(at + 1, end - at - 1);
            if (tag.find('\'') != npos || std::count(tag.begin(), tag.end(), '"') % 2 != 0)
                return "XML property list has a tag with unpaired quotes";
            if (tag.starts_with('/')) {
                std::string_view name = tag.substr(1);
                while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
                if (open.empty() || name != open.back()) return "XML property list has a closing tag that matches no element";
                open.pop_back();
            } else {
                std::size_t length = 0;
                while (length < tag.size() && !isBlank(tag[length]) && tag[length] != '/') ++length;
                if (length == 0) return "XML property list has a tag without a name";
                if (++elements > budget.nodes)
                    return "property list has more than " + std::to_string(budget.nodes) + " elements";
                if (!tag.ends_with('/')) {
                    open.push_back(tag.substr(0, length));
                    if (open.size() > kMaxXmlElementDepth) return kTooDeep;
                }
            }
            at = end + 1;
        }
    }
    return std::nullopt;
}

} // namespace core::plist
