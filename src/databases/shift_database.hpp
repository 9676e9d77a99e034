// The chemical shift database: the files of the c13data directory, one per residue type and
// anomeric form, read for the residues of a composition into the shift table.
#pragma once

#include <string>

#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "databases/composition.hpp"

namespace glycomb {

// Whether form `form` (0 alpha or only form, 1 beta) of a composition entry is read: never for a
// phosphate; form 0 not for a fixed beta residue, form 1 not for a fixed alpha one, nor for
// alditols and non-sugars.
bool ShiftFormSelected(const tTaskResidue& residue, const tNameRecord& record, unsigned form);

// The file of a residue form: "c13data/" + prefix A-, B- (by form) or C- (alditols and non-sugars)
// + the upper-cased name + ".DAT", for example "c13data/A-GLC.DAT".
std::string ShiftFileName(const tNameRecord& record, unsigned form);

// Creates `table` for the composition of `task` and reads the files of every selected entry and
// form from the current directory. On failure the message has been printed and the result is
// false.
bool ReadShiftDatabase(const tResidueTable& residues, const tComposition& composition,
                       tShiftTable& table);

}  // namespace glycomb
