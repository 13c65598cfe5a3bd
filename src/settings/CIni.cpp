#include "settings/CIni.h"

#include <algorithm>
#include <limits>

#include "platform/AtomicFile.h"

namespace qv::settings {

namespace {

// Parser states.
constexpr int kStateSection = 0;
constexpr int kStateKey = 1;
constexpr int kStateValue = 2;
constexpr int kStateBetween = 3;

constexpr char16_t kOpenBracket = u'[';
constexpr char16_t kCloseBracket = u']';
constexpr char16_t kEquals = u'=';
constexpr char16_t kLineFeed = u'\n';
constexpr char16_t kCarriageReturn = u'\r';
constexpr char16_t kSpace = u' ';

char16_t foldAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// White space as the C locale's conversion functions skip it.
bool isSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

int digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'z') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'Z') {
        return c - u'A' + 10;
    }
    return std::numeric_limits<int>::max();
}

constexpr int kMinRadix = 2;
constexpr int kMaxRadix = 36;
constexpr int kOctal = 8;
constexpr int kDecimal = 10;
constexpr int kHexadecimal = 16;

// The UTF-16LE byte-order mark as it lies in the file.
constexpr unsigned char kUtf16LeMark[] = {0xFF, 0xFE};
constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastBmp = 0xFFFF;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kSupplementaryBase = 0x10000;
constexpr char16_t kHighSurrogateBase = 0xD800;
constexpr char16_t kLowSurrogateBase = 0xDC00;
constexpr int kSurrogateShift = 10;
constexpr char32_t kSurrogateMask = 0x3FF;

// The files are written as UTF-16LE with a byte-order mark. One saved by a text editor is
// usually UTF-8 (or plain ASCII): it has no mark and, unlike UTF-16 text of these files,
// no zero byte.
bool looksLikeUtf8(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == kUtf16LeMark[0] &&
        static_cast<unsigned char>(bytes[1]) == kUtf16LeMark[1]) {
        return false;
    }
    return bytes.find('\0') == std::string_view::npos;
}

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD and decoding goes on after its first
// byte, so no input can stop or overrun it.
std::u16string decodeUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        char32_t code = 0;
        char32_t smallest = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
            smallest = kSupplementaryBase;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        valid = valid && code >= smallest && code <= kLastCodePoint &&
                (code < kSurrogateFirst || code > kSurrogateLast);
        if (!valid) {
            out.push_back(static_cast<char16_t>(kReplacement));
            ++i;
            continue;
        }
        if (code <= kLastBmp) {
            out.push_back(static_cast<char16_t>(code));
        } else {
            code -= kSupplementaryBase;
            out.push_back(static_cast<char16_t>(kHighSurrogateBase + (code >> kSurrogateShift)));
            out.push_back(static_cast<char16_t>(kLowSurrogateBase + (code & kSurrogateMask)));
        }
        i += length;
    }
    return out;
}

}  // namespace

CIni::CIni(bool caseSensitive, bool trimNames)
    : caseSensitive_(caseSensitive), trimNames_(trimNames) {}

bool CIni::Load(const std::string& path, bool decode) {
    // The decoding hook is not part of this build; a request for it reads the text unchanged.
    (void)decode;
    Close();
    std::string bytes;
    if (platform::readSmallFile(path, kMaxFileBytes, bytes) != 0) {
        return false;
    }
    return LoadFromBytes(bytes);
}

bool CIni::LoadFromBytes(std::string_view bytes) {
    Close();
    if (bytes.size() > kMaxFileBytes) {
        return false;
    }
    if (looksLikeUtf8(bytes)) {
        const std::u16string decoded = decodeUtf8(bytes);
        length_ = decoded.size();
        text_.assign(decoded.begin(), decoded.end());
        text_.push_back(0);
    } else {
        length_ = bytes.size() / 2;
        text_.assign(length_ + 1, 0);
        for (size_t i = 0; i < length_; ++i) {
            const auto low = static_cast<unsigned char>(bytes[2 * i]);
            const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
            text_[i] = static_cast<char16_t>(low | (high << 8));
        }
    }
    nodes_.push_back(Node{});  // the root
    if (!parse()) {
        Close();
        return false;
    }
    return true;
}

bool CIni::Close() {
    nodes_.clear();
    nodes_.shrink_to_fit();
    text_.clear();
    text_.shrink_to_fit();
    length_ = 0;
    return true;
}

int32_t CIni::addNode(int64_t first, int64_t last, bool trim) {
    if (trim && trimNames_) {
        int64_t f = first;
        int64_t l = last;
        while (f <= l && text_[static_cast<size_t>(f)] == kSpace) {
            ++f;
        }
        // A name made only of spaces keeps its range as it was.
        if (f <= l) {
            while (text_[static_cast<size_t>(l)] == kSpace) {
                --l;
            }
            first = f;
            last = l;
        }
    }
    nodes_.push_back(Node{first, last, kNone, kNone});
    return static_cast<int32_t>(nodes_.size() - 1);
}

void CIni::appendChild(int32_t parent, int32_t& lastChild, int32_t node) {
    if (lastChild == kNone) {
        nodes_[static_cast<size_t>(parent)].child = node;
    } else {
        nodes_[static_cast<size_t>(lastChild)].next = node;
    }
    lastChild = node;
}

bool CIni::parse() {
    int state = kStateBetween;
    int64_t sectionStart = 0;
    int64_t keyStart = 0;
    int64_t valueStart = 0;
    int32_t lastSection = kNone;
    int32_t lastKey = kNone;
    for (size_t index = 0; index < length_; ++index) {
        const auto i = static_cast<int64_t>(index);
        const char16_t c = text_[index];
        if (c == kOpenBracket && (state == kStateSection || state == kStateBetween)) {
            state = kStateSection;
            sectionStart = i + 1;
            continue;
        }
        if (c == kCloseBracket && state == kStateSection) {
            const int32_t section = addNode(sectionStart, i - 1, true);
            appendChild(0, lastSection, section);
            lastKey = kNone;
            state = kStateBetween;
            continue;
        }
        if (c == kEquals && state == kStateKey && lastSection != kNone) {
            const int32_t key = addNode(keyStart, i - 1, true);
            appendChild(lastSection, lastKey, key);
            state = kStateValue;
            valueStart = i + 1;
            continue;
        }
        if (c == kLineFeed || c == kCarriageReturn) {
            if (state == kStateValue && lastKey != kNone) {
                Node& key = nodes_[static_cast<size_t>(lastKey)];
                if (key.child != kNone) {
                    return false;
                }
                const int32_t value = addNode(valueStart, i - 1, false);
                nodes_[static_cast<size_t>(lastKey)].child = value;
            }
            state = kStateBetween;
            continue;
        }
        if (c == kByteOrderMark) {
            if (index == 0) {
                state = kStateBetween;
            }
            continue;
        }
        if (state == kStateBetween) {
            state = kStateKey;
            keyStart = i;
        }
    }
    return true;
}

bool CIni::namesMatch(int64_t start, std::string_view name) const {
    for (size_t k = 0; k < name.size(); ++k) {
        const auto at = static_cast<size_t>(start) + k;
        if (start < 0 || at >= length_) {
            return false;
        }
        char16_t stored = text_[at];
        auto wanted = static_cast<char16_t>(static_cast<unsigned char>(name[k]));
        if (!caseSensitive_) {
            stored = foldAscii(stored);
            wanted = foldAscii(wanted);
        }
        if (stored != wanted) {
            return false;
        }
    }
    return true;
}

int32_t CIni::findChild(int32_t parent, std::string_view name) const {
    for (int32_t n = nodes_[static_cast<size_t>(parent)].child; n != kNone;
         n = nodes_[static_cast<size_t>(n)].next) {
        if (namesMatch(nodes_[static_cast<size_t>(n)].first, name)) {
            return n;
        }
    }
    return kNone;
}

int32_t CIni::findValue(std::string_view section, std::string_view key) const {
    if (nodes_.empty()) {
        return kNone;
    }
    const int32_t s = findChild(0, section);
    if (s == kNone) {
        return kNone;
    }
    const int32_t k = findChild(s, key);
    if (k == kNone) {
        return kNone;
    }
    return nodes_[static_cast<size_t>(k)].child;
}

bool CIni::GetString(std::string_view section, std::string_view key, char16_t* out,
                     size_t capacity) const {
    if (out == nullptr || capacity == 0) {
        return false;
    }
    const int32_t v = findValue(section, key);
    if (v == kNone) {
        return false;
    }
    const Node& value = nodes_[static_cast<size_t>(v)];
    const int64_t units = std::max<int64_t>(0, value.last - value.first + 1);
    const size_t count = std::min(static_cast<size_t>(units), capacity - 1);
    std::copy_n(text_.begin() + value.first, count, out);
    out[count] = 0;
    return true;
}

bool CIni::GetString(std::string_view section, std::string_view key, std::u16string& out,
                     size_t maxUnits) const {
    const int32_t v = findValue(section, key);
    if (v == kNone) {
        return false;
    }
    const Node& value = nodes_[static_cast<size_t>(v)];
    const int64_t units = std::max<int64_t>(0, value.last - value.first + 1);
    const size_t count = std::min(static_cast<size_t>(units), maxUnits);
    out.assign(text_.begin() + value.first,
               text_.begin() + value.first + static_cast<std::ptrdiff_t>(count));
    return true;
}

bool CIni::GetInt(std::string_view section, std::string_view key, int32_t& out, int radix) const {
    if (radix != 0 && (radix < kMinRadix || radix > kMaxRadix)) {
        return false;
    }
    const int32_t v = findValue(section, key);
    if (v == kNone) {
        return false;
    }
    // The value starts at most one unit past the last one of the file, where the zero unit
    // that ends the buffer stops the conversion.
    out = convertLong(text_.data() + nodes_[static_cast<size_t>(v)].first, radix);
    return true;
}

int32_t CIni::convertLong(const char16_t* p, int radix) {
    while (isSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == u'-' || *p == u'+') {
        negative = *p == u'-';
        ++p;
    }
    const bool hexPrefix = p[0] == u'0' && (p[1] == u'x' || p[1] == u'X');
    if (radix == 0) {
        radix = hexPrefix && digitValue(p[2]) < kHexadecimal ? kHexadecimal
                : p[0] == u'0'                               ? kOctal
                                                             : kDecimal;
    }
    if (radix == kHexadecimal && hexPrefix && digitValue(p[2]) < kHexadecimal) {
        p += 2;
    }
    // The magnitude is held below this bound; beyond it the result saturates.
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                   : std::numeric_limits<int32_t>::max();
    int64_t magnitude = 0;
    for (int digit = digitValue(*p); digit < radix; digit = digitValue(*++p)) {
        magnitude = std::min(limit, magnitude * radix + digit);
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace qv::settings
