// Report units of structure records, read with the shipped NAMES.PS as /CALC reads them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "databases/names_database.hpp"
#include "input/structure_notation.hpp"
#include "report/report_builder.hpp"
#include "support/fixtures.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb::testing {

class ShippedUnits {
 public:
  ShippedUnits() {
    ScopedWorkingDirectory here(SourcePath() + "/data");
    EXPECT_EQ(Captured([&] { EXPECT_TRUE(ReadNamesDatabase(residues_)); }), "");
  }

  // The unit of `record`, without shifts; a record the parser refuses fails the test.
  tReportUnit Unit(const std::string& record) {
    const std::string output = Captured(
        [&] { ParseStructureRecord(record, "", residues_, task_, topologies_, working_); });
    EXPECT_EQ(output, "") << record;
    return DescribeUnit(working_, topologies_, task_, residues_);
  }

 private:
  tResidueTable residues_;
  tTask task_;
  tTopologyTable topologies_;
  tStructure working_;
};

}  // namespace glycomb::testing
