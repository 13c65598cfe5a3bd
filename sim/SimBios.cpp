#include "SimBios.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace qv::sim {

namespace {

constexpr const char* kCompatibilityText = "IBM VGA Compatible";
constexpr size_t kCompatibilityOffset = 0x1E;
constexpr const char* kCopyrightText = "Copyright (C) 1996-2012 NVIDIA Corp.";
constexpr uint8_t kFillerAvoided = '-';  // keeps the filler from forming a "-F" version mark

void put(std::vector<uint8_t>& rom, size_t at, const std::string& text) {
    for (size_t i = 0; i < text.size() && at + i < rom.size(); ++i) {
        rom[at + i] = static_cast<uint8_t>(text[i]);
    }
}

void put16(std::vector<uint8_t>& rom, size_t at, uint32_t v) {
    rom[at] = static_cast<uint8_t>(v & 0xFF);
    rom[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

std::vector<uint8_t> biosImage(const GpuConfig& gpu) {
    std::vector<uint8_t> rom(gpu.biosSize, 0);
    // Filler first: code-like bytes from a generator seeded by the board, so each board's image
    // is its own and the same in every process.
    uint32_t x = (gpu.device << 16) ^ gpu.subsystem ^ 0xA5A5F00Du;
    if (x == 0) {
        x = 1;
    }
    for (size_t i = 0; i < rom.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        uint8_t b = static_cast<uint8_t>(x >> 24);
        rom[i] = b == kFillerAvoided ? 0x90 : b;
    }
    // The header area is cleared before the fixed fields go in.
    std::memset(rom.data(), 0, kRomVersionTextOffset + kMaxBiosVersionChars + 4);

    rom[0] = kRomSignature0;
    rom[1] = kRomSignature1;
    rom[2] = static_cast<uint8_t>(std::min<size_t>(rom.size() / kBiosBlockSize, 0xFF));
    rom[3] = 0xE9;  // jump to the initialisation code
    put16(rom, 4, 0x0150);
    put(rom, kCompatibilityOffset, kCompatibilityText);
    put16(rom, kRomPciDataPointer, kRomPciDataOffset);

    // PCI data structure.
    const size_t p = kRomPciDataOffset;
    put(rom, p, "PCIR");
    put16(rom, p + 4, kPciVendorNvidia);
    put16(rom, p + 6, gpu.device);
    put16(rom, p + 10, 0x18);  // structure length
    rom[p + 12] = 0;           // structure revision
    rom[p + 13] = 0;           // class code: VGA display controller
    rom[p + 14] = 0;
    rom[p + 15] = kRomClassDisplay;
    put16(rom, p + 16, static_cast<uint32_t>(rom.size() / kBiosBlockSize));
    put16(rom, p + 18, 1);     // code revision
    rom[p + 20] = 0;           // x86 code
    rom[p + 21] = kRomLastImage;

    put(rom, kRomBoardTextOffset, gpu.name + "\r\n" + kCopyrightText + "\r\n");
    if (!gpu.biosVersion.empty()) {
        put(rom, kRomVersionTextOffset, gpu.biosVersion + "\r\n");
    }

    // The bytes of an option ROM sum to zero modulo 256.
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < rom.size(); ++i) {
        sum = static_cast<uint8_t>(sum + rom[i]);
    }
    rom.back() = static_cast<uint8_t>(0x100 - sum);
    return rom;
}

}  // namespace qv::sim
