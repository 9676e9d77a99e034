#include "databases/descriptor.hpp"

#include <array>
#include <optional>

#include "console/console.hpp"
#include "databases/fixed_columns.hpp"
#include "databases/names_database.hpp"

namespace glycomb {
namespace {

constexpr tLetterCode kC1PeculiarityLetters[] = {
    {"Nn", kC1Normal}, {"Cc", kC1Catt}, {"Aa", kC1Aatt}};
constexpr tLetterCode kTypeLetters[] = {
    {"Ss", kPyranose}, {"Ff", kFuranose}, {"Aa", kAlditol}, {"PpNn", kNonSugar}};
constexpr tLetterCode kAnomericLetters[] = {{"Aa", 0}, {"Bb", 1}};
constexpr tLetterCode kAbsoluteLetters[] = {{"DdXx", 0}, {"Ll", 1}};
constexpr tLetterCode kC2GroupLetters[] = {
    {"OoXx", kC2Hydroxy}, {"Nn", kC2Amino}, {"Dd", kC2Deoxy}};

}  // namespace

unsigned DecodeDescriptor(const std::string& line, const tDescriptorLayout& layout,
                          tDescriptorFault& fault) {
  const auto failed = [&](tDescriptorFault which) {
    fault = which;
    return 0u;
  };
  auto c1_peculiarity =
      DecodeLetter(ColumnChar(line, layout.C1Peculiarity), kC1PeculiarityLetters);
  if (!c1_peculiarity) return failed(tDescriptorFault::kC1Peculiarity);
  const char type_letter = ColumnChar(line, layout.Type);
  const auto type = DecodeLetter(type_letter, kTypeLetters);
  if (!type) return failed(tDescriptorFault::kType);
  if (type_letter == 'P' || type_letter == 'p') c1_peculiarity = kC1Phosphate;
  std::uint8_t anomeric = 0;
  if (*type == kPyranose || *type == kFuranose) {
    const auto letter = DecodeLetter(ColumnChar(line, layout.Anomeric), kAnomericLetters);
    if (!letter) return failed(tDescriptorFault::kAnomeric);
    anomeric = *letter;
  }
  const auto absolute = DecodeLetter(ColumnChar(line, layout.Absolute), kAbsoluteLetters);
  if (!absolute) return failed(tDescriptorFault::kAbsolute);
  const auto c2_group = DecodeLetter(ColumnChar(line, layout.C2Group), kC2GroupLetters);
  if (!c2_group) return failed(tDescriptorFault::kC2Group);
  const tLetterCode c2_proton_letters[] = {{"Aa", kC2ProtonAxial},
                                           {"Ee", kC2ProtonEquatorial},
                                           {layout.OpenChainLetters, kC2ProtonOpenChain}};
  const auto c2_proton = DecodeLetter(ColumnChar(line, layout.C2Proton), c2_proton_letters);
  if (!c2_proton) return failed(tDescriptorFault::kC2Proton);
  fault = tDescriptorFault::kNone;
  return DescriptorCell(*type, anomeric, *absolute, *c2_proton, *c2_group, *c1_peculiarity);
}

std::uint8_t SubstitutionCode(std::uint8_t first, std::uint8_t second) {
  if (first == 1 || second == 1) {
    FatalError("Internal error SC1: Substitution position cannot be 1");
  }
  if (first != 0 && first == second) {
    FatalError("Internal error SC2: Two substitution positions should not be the same");
  }
  if (second != 0 && first > second) {
    FatalError("Internal error SC3: The lower substitution position should go prior to the higher");
  }
  if (first == 0 && second != 0) {
    FatalError("Internal error SC4: Monosubstitution should be indicated in the first parameter");
  }
  if (first == 9) return 7;
  if (first < 2 || first > 9) return 255;
  if (second == 0) return static_cast<std::uint8_t>(first - 2);
  if (second > 9) return 255;
  return static_cast<std::uint8_t>((second - 2) * (second - 3) / 2 + (first - 2));
}

}  // namespace glycomb
