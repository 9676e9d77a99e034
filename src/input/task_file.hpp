// The task file (.TSK): composition of the repeating unit, experimental spectrum and options.
#pragma once

#include <string>

#include "databases/names_database.hpp"
#include "input/task.hpp"

namespace glycomb {

// Reads the task file named by `name` (extension forced to .TSK, see ForceExtension) into `task`,
// resolving residue names in `residues`, and sets task.ResultFileName to the matching .RES name.
// Returns false after a reported failure or when the user aborts opening the file.
bool ReadTaskFile(const std::string& name, const tResidueTable& residues, tTask& task);

// Sorts `spectrum` ascending in place (exchange sort that stops after a pass without exchanges).
void SortSpectrum(signal_array& spectrum);

}  // namespace glycomb
