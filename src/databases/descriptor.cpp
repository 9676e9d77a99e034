#include "databases/descriptor.hpp"

#include "console/console.hpp"

namespace glycomb {

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
