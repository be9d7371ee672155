// Reading a Microsoft cabinet held in memory, with libmspack: its members in
// stored order, each extracted whole into memory. Plain C++, no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wceload {

struct CabMember {
    std::string name; // as stored (ISO 8859-1 or UTF-8 bytes)
    std::vector<std::uint8_t> data;
};

// Largest cabinet and largest total of extracted members accepted.
inline constexpr std::size_t kMaxCabinetBytes = std::size_t(512) << 20;
inline constexpr std::size_t kMaxExtractedBytes = std::size_t(1) << 30;

// Extracts every member of the cabinet `bytes`, in the order the cabinet
// lists them. False with a one-line reason when the bytes are not a
// cabinet, the cabinet is damaged (a bad header, a failed data checksum, a
// decompression error, a member whose data is missing), spans several
// cabinets, or is too large. Safe from any thread.
bool ReadCabinet(const std::vector<std::uint8_t>& bytes, std::vector<CabMember>* members, std::string* error);

} // namespace wceload
