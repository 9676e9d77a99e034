#include "console/io_error.hpp"

#include <gtest/gtest.h>

#include <cerrno>

namespace glycomb {
namespace {

// System errors map onto the table of messages; one without an entry keeps the system's own
// message, in lower case.
TEST(IoErrorTextTest, SystemErrorsMapOntoTheTable) {
  const struct {
    int error_number;
    const char* text;
  } cases[] = {
      {ENOENT, "file not found"},   {ENOTDIR, "invalid file name"},
      {ENAMETOOLONG, "invalid file name"}, {EMFILE, "too many open files"},
      {EACCES, "access denied"},    {EROFS, "access denied"},
      {EIO, "device not ready"},    {ENOSPC, "insufficient disk space"},
      {EFBIG, "insufficient disk space"},  // beyond the file size limit
      {EISDIR, "is a directory"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IoErrorText(IoErrorFromErrno(c.error_number)), c.text) << c.error_number;
  }
  // The one code the program sets itself: reading a file that is not open.
  EXPECT_EQ(IoErrorText({103, "ignored"}), "internal file error: file not opened");
  EXPECT_EQ(IoErrorText({999, "Some ODD Message 7"}), "some odd message 7");
}

}  // namespace
}  // namespace glycomb
