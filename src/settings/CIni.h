// Reader of the program's small UTF-16LE (or UTF-8) text files of "[section]" lines and "key=value" lines
// (the user settings and profile files, the fan speed reference file). The whole file is read
// once; a one-pass parser builds a tree of sections, keys and values whose ranges point into
// that text, and look-ups answer a value as text or as an integer. It never writes.
//
// Names are trimmed of spaces (only U+0020) and compared without regard to case (ASCII letters);
// a requested name matches the first stored name that begins with it, so a request for "Gpu1"
// is answered by a section "Gpu10" when that one comes first. Values are never trimmed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::settings {

class CIni {
public:
    // Files larger than this are refused rather than read into memory.
    static constexpr size_t kMaxFileBytes = 16u * 1024u * 1024u;
    static constexpr char16_t kByteOrderMark = 0xFEFF;

    // Names are compared without regard to case and trimmed of spaces unless told otherwise.
    explicit CIni(bool caseSensitive = false, bool trimNames = true);
    ~CIni() = default;
    CIni(const CIni&) = delete;
    CIni& operator=(const CIni&) = delete;

    // Reads and parses the whole file. False when it is missing, unreadable, larger than
    // kMaxFileBytes, or when the parse fails; nothing stays loaded then. `decode` asks for the
    // external decoding hook, which this build does not have: the text is used as it is.
    bool Load(const std::string& path, bool decode = false);
    // The same for file contents already in memory: UTF-16LE (an odd last byte is dropped), or
    // UTF-8 when the bytes have no UTF-16LE byte-order mark and no zero byte, as a file saved
    // by a text editor has. Malformed UTF-8 reads as U+FFFD.
    bool LoadFromBytes(std::string_view bytes);

    // Copies the value of `key` in `section` into `out` and terminates it with a zero code unit,
    // truncated to `capacity` - 1 code units. False when the value is not there or capacity is 0.
    bool GetString(std::string_view section, std::string_view key, char16_t* out,
                   size_t capacity) const;
    // The value as a string, at most `maxUnits` code units of it.
    bool GetString(std::string_view section, std::string_view key, std::u16string& out,
                   size_t maxUnits = SIZE_MAX) const;
    // Converts the text that starts at the value's first character the way the standard signed
    // wide-string-to-long conversion does: leading white space (line breaks included) is
    // skipped, a sign is taken, conversion stops at the first non-digit, out-of-range values
    // saturate to the 32-bit range and text without digits gives 0 (still true). The conversion
    // may read past the value's own line, but never past the end of the loaded file. `radix`
    // is 0 or 2..36; any other radix answers false.
    bool GetInt(std::string_view section, std::string_view key, int32_t& out, int radix = 10) const;

    // Releases everything loaded. Always true.
    bool Close();

    bool loaded() const { return !nodes_.empty(); }
    // Code units of the loaded text, the byte-order mark included when there is one.
    size_t length() const { return length_; }
    bool hasDecodingHook() const { return false; }

    // Conversion of UTF-16 code units as GetInt does it; `text` must end with a code unit that
    // is neither white space, a sign nor a digit (the loaded text ends with a zero unit).
    static int32_t convertLong(const char16_t* text, int radix);

private:
    static constexpr int32_t kNone = -1;

    struct Node {
        int64_t first = 0;
        int64_t last = -1;  // inclusive; last < first for an empty range
        int32_t next = kNone;
        int32_t child = kNone;
    };

    bool parse();
    int32_t addNode(int64_t first, int64_t last, bool trim);
    void appendChild(int32_t parent, int32_t& lastChild, int32_t node);
    int32_t findChild(int32_t parent, std::string_view name) const;
    bool namesMatch(int64_t start, std::string_view name) const;
    // The value node of `key` in `section`, or kNone.
    int32_t findValue(std::string_view section, std::string_view key) const;

    bool caseSensitive_;
    bool trimNames_;
    // The file's code units followed by one zero unit, so that a conversion running past the
    // last value always stops inside the buffer.
    std::vector<char16_t> text_;
    size_t length_ = 0;
    std::vector<Node> nodes_;  // nodes_[0] is the root
};

}  // namespace qv::settings
