// The residue name database NAMES.PS: the catalogue of residue types that tasks and structures
// name. Every other subsystem reaches a residue type through its index in this table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glycomb {

// A set of carbon positions: bit i stands for carbon i.
using tPositionSet = std::uint16_t;

// Whether `position` belongs to `set`; positions above 15 never do.
constexpr bool InSet(tPositionSet set, unsigned position) {
  return position < 16 && ((set >> position) & 1u) != 0;
}

// Ring kinds, also the substituent type codes of the shift and effect databases.
inline constexpr std::uint8_t kPyranose = 0;
inline constexpr std::uint8_t kFuranose = 1;
inline constexpr std::uint8_t kAlditol = 2;
inline constexpr std::uint8_t kNonSugar = 3;

// C1 peculiarities.
inline constexpr std::uint8_t kC1Normal = 0;
inline constexpr std::uint8_t kC1Catt = 1;
inline constexpr std::uint8_t kC1Aatt = 2;
inline constexpr std::uint8_t kC1Phosphate = 3;

// Orientation of the proton at C2, and the group at C2.
inline constexpr std::uint8_t kC2ProtonEquatorial = 0;
inline constexpr std::uint8_t kC2ProtonAxial = 1;
inline constexpr std::uint8_t kC2ProtonOpenChain = 2;
inline constexpr std::uint8_t kC2Amino = 0;
inline constexpr std::uint8_t kC2Hydroxy = 1;
inline constexpr std::uint8_t kC2Deoxy = 2;

// Index that FindResidueName returns for an unknown name.
inline constexpr std::uint8_t kNameNotFound = 255;

// One residue type.
struct tNameRecord {
  std::string Name;                       // 3 or 4 characters; a final "p" is stored as "P"
  tPositionSet AminoPositions = 0;        // carbons with qualifier n
  tPositionSet EquatorialPositions = 0;   // carbons whose proton is equatorial
  std::uint8_t RingKind = kPyranose;
  std::uint8_t NLinked = 0;               // 1: attached to its neighbour through nitrogen
  std::uint8_t C1Peculiarity = kC1Normal;
  tPositionSet OSubstitutable = 0;        // carbons that can carry an O-linked substituent
  tPositionSet NSubstitutable = 0;        // carbons that can carry an N-linked substituent
  std::uint8_t C2ProtonOrientation = kC2ProtonAxial;
  std::uint8_t C2Substituent = kC2Hydroxy;
  std::uint8_t CarbonCount = 0;           // 2..9 for file records, 0 for the phosphate
};

// The residue table: element 0 is the built-in phosphate "P", elements 1.. the lines of NAMES.PS.
using tResidueTable = std::vector<tNameRecord>;

// The built-in phosphate record.
tNameRecord PhosphateRecord();

// Reads NAMES.PS from the current directory into `table`. On failure the message has been
// printed and the result is false.
bool ReadNamesDatabase(tResidueTable& table);

// Index 1..254 of the last record whose Name equals `name` exactly, or kNameNotFound. The
// phosphate (element 0) is never found.
std::uint8_t FindResidueName(const tResidueTable& table, std::string_view name);

// The class whose block the effects database uses for a residue (glc, gal, fur5, ald3, non, ...).
std::string ResidueClassName(const tNameRecord& record);

}  // namespace glycomb
