// The glycosylation effects database EFFECTS.PS: effects of a substituent at each position of a
// residue, by residue class, amino-sugar class and residue name, and the effects of a phosphate on
// the residue it is bound to. They complete the shift table.
#pragma once

#include <cstdint>
#include <string>

#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "databases/composition.hpp"

namespace glycomb {

// The text code of an effect: C1 peculiarity letter, C2 group letter, C2 proton letter,
// `absolute_text` (at most two characters, "DD" same, "DL" different), anomeric letter ("x" for
// types 2 and 3), type letter ("P" for C1 peculiarity 3) and the position; for example noaDDbS3.
// The residue key of the "#P" block is the code of the residue itself with "XX" and position 1.
std::string EffectCode(std::uint8_t type, std::uint8_t c1_peculiarity, std::uint8_t c2_group,
                       std::uint8_t c2_proton, std::uint8_t anomeric,
                       const std::string& absolute_text, std::uint8_t position);

// Reads EFFECTS.PS from the current directory into the Effects grids and the phosphate effects of
// every entry and form of `table` that ReadShiftDatabase read. For each of them the class block is
// read first, then the amino block (residues with an amino group at C2) and the name block, each
// refining the cells it mentions. On failure the message has been printed and the result is false.
bool ReadEffectsDatabase(const tResidueTable& residues, const tComposition& composition,
                       tShiftTable& table);

}  // namespace glycomb
